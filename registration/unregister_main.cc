// korvane-unregister: the removal run on the machine's own platform.
#include "platform/platform.h"
#include "registration/run.h"

int main() {
  platform::Platform& os = platform::System();
  os.Exit(registration::Unregister(os));
}
