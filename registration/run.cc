#include "registration/run.h"

#include <new>
#include <stdexcept>
#include <vector>

#include "registration/command_line.h"
#include "registration/constants.h"
#include "registration/discovery.h"
#include "registration/host_check.h"
#include "registration/manifest.h"
#include "registration/output.h"

namespace registration {

using platform::Platform;

namespace {

// A fault of the platform that leaves the run no sound way on.
class PlatformError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Steps 2 to 10 of the run; `exit_code` holds the code as it stands when a
// failure leaves.
void Register(Platform& os, int32_t& exit_code) {
  std::vector<std::u16string> arguments = SplitCommandLine(os.CommandLine());
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's name

  Settings settings;
  const std::u16string executable = arguments.size() == 1 ? std::u16string() : os.OwnExecutablePath();
  if (!SettleSettings(arguments, ExecutableFolder(executable), &settings)) {
    exit_code = c_BadCall;
    return;
  }
  // The default paths lie beside the executable; without its path they would
  // point into the current drive's root.
  if (arguments.empty() && executable.empty()) {
    throw PlatformError("the program's own path can't be read");
  }

  const std::u16string wManifestBase =
      FillManifestBase(settings.wIconPath, settings.wButtonText, settings.wDesc);
  bool wGotProperFolder = false;
  std::vector<std::u16string> wSL;

  const std::u16string wAppDataPath = AddinRoot(os);
  if (wAppDataPath.empty() || !AddinRootExists(os, wAppDataPath)) {
    exit_code = c_NoProperFolder;
    return;
  }

  std::vector<std::u16string> wSubDirs;
  GetSubDirs(os, wAppDataPath, wSubDirs);
  for (const std::u16string& folder : wSubDirs) {
    int32_t version = 0;
    if (!IsVersionFolder(folder, &version)) continue;
    const std::u16string wManiFest = FillAssemblyPath(wManifestBase, settings.wDLLPath, version);
    if (!WriteManifest(os, folder, wManiFest, wSL)) exit_code = c_CouldNotWriteFile;
    wGotProperFolder = true;
  }

  if (!wGotProperFolder) exit_code = c_NoProperFolder;
  if (exit_code == 0 && ProcessExists(os, c_RevitProcName)) exit_code = c_RevitRuns;
}

std::u16string Widen(const char* text) {
  std::u16string out;
  for (; *text; ++text) out.push_back(static_cast<unsigned char>(*text));
  return out;
}

}  // namespace

std::u16string FailureLine(const std::exception& failure) {
  const char* kind = "Error";
  if (dynamic_cast<const std::bad_alloc*>(&failure)) kind = "OutOfMemory";
  else if (dynamic_cast<const PlatformError*>(&failure)) kind = "PlatformError";
  return Widen(kind) + u": " + Widen(failure.what()) + u"\r\n";
}

int32_t Run(Platform& os) {
  int32_t exit_code = 0;
  try {
    Register(os, exit_code);
    return exit_code;
  } catch (const std::exception& failure) {
    // A stopped run never reports success; a failed write stays reported.
    if (exit_code == 0) exit_code = c_Failed;
    try {
      if (!os.WriteStdout(FailureLine(failure))) return c_Failed;
    } catch (...) {
      return c_Failed;
    }
    return exit_code;
  }
}

}  // namespace registration
