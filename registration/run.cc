#include "registration/run.h"

#include <new>
#include <stdexcept>

#include "registration/command_line.h"
#include "registration/constants.h"
#include "registration/discovery.h"
#include "registration/help.h"
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

void RegisterInFolders(Platform& os, const std::vector<std::u16string>& arguments,
                       int32_t& exit_code) {
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
  const std::vector<VersionFolder> folders = FindVersionFolders(os);
  if (folders.empty()) {
    exit_code = c_NoProperFolder;
    return;
  }
  std::vector<std::u16string> wSL;
  for (const VersionFolder& folder : folders) {
    if (!WriteVersionManifest(os, folder.path, wManifestBase, settings.wDLLPath, folder.version, wSL)) {
      exit_code = c_CouldNotWriteFile;
    }
  }
  if (exit_code == 0 && ProcessExists(os, c_RevitProcName)) exit_code = c_RevitRuns;
}

void RemoveFromFolders(Platform& os, const std::vector<std::u16string>& arguments,
                       int32_t& exit_code) {
  if (!arguments.empty()) {
    exit_code = c_BadCall;
    return;
  }
  const std::vector<VersionFolder> folders = FindVersionFolders(os);
  if (folders.empty()) {
    exit_code = c_NoProperFolder;
    return;
  }
  bool removed_any = false;
  for (const VersionFolder& folder : folders) {
    switch (RemoveManifest(os, folder.path)) {
      case Removal::kRemoved: removed_any = true; break;
      case Removal::kNothingThere: break;
      case Removal::kFailed: exit_code = c_CouldNotWriteFile; break;
    }
  }
  // The host keeps a loaded add-in until it restarts; with nothing removed
  // there is nothing it keeps.
  if (exit_code == 0 && removed_any && ProcessExists(os, c_RevitProcName)) exit_code = c_RevitRuns;
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

int32_t RunGuarded(Platform& os, const char16_t* usage, Work work) {
  int32_t exit_code = 0;
  try {
    std::vector<std::u16string> arguments = SplitCommandLine(os.CommandLine());
    if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's name
    if (IsHelpRequest(arguments)) {
      os.WriteStdout(usage);
      return c_BadCall;
    }
    work(os, arguments, exit_code);
    return exit_code;
  } catch (const std::exception& failure) {
    // A stopped run never reports success; a failed write stays reported.
    if (exit_code == 0) exit_code = c_Failed;
    try {
      if (!os.WriteStdout(FailureLine(failure))) return c_Failed;
    } catch (const std::exception&) {
      return c_Failed;
    }
    return exit_code;
  }
}

int32_t Register(Platform& os) { return RunGuarded(os, c_RegisterUsage, RegisterInFolders); }

int32_t Unregister(Platform& os) { return RunGuarded(os, c_UnregisterUsage, RemoveFromFolders); }

}  // namespace registration
