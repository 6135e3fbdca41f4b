// The command line and the settings it gives.
#ifndef KORVANE_REGISTRATION_COMMAND_LINE_H_
#define KORVANE_REGISTRATION_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace registration {

// Cuts the command line into its words, the program's name first. A word is
// never empty; a double quote takes everything up to the next one literally,
// and there is no escape character.
std::vector<std::u16string> SplitCommandLine(const std::u16string& line);

// The folder of an executable path: everything before its last "\" or ":",
// the ":" kept, and that "\" kept only where it names a root ("C:\", "\").
std::u16string ExecutableFolder(const std::u16string& path);

struct Settings {
  std::u16string wSetupPath;
  std::u16string wDLLPath;
  std::u16string wIconPath;
  std::u16string wButtonText;
  std::u16string wDesc;
};

// Settles the settings from the arguments (the program's name dropped) and
// the executable's folder. False for a bad call: 2, 3, or 5 or more.
bool SettleSettings(const std::vector<std::u16string>& arguments,
                    const std::u16string& executable_folder, Settings* settings);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_COMMAND_LINE_H_
