#include "registration/help.h"

namespace registration {

bool IsHelpRequest(const std::vector<std::u16string>& arguments) {
  if (arguments.size() != 1) return false;
  for (const char16_t* request : {u"/?", u"-?", u"-h", u"--help"}) {
    if (arguments[0] == request) return true;
  }
  return false;
}

}  // namespace registration
