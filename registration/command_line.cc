#include "registration/command_line.h"

#include <algorithm>

#include "registration/constants.h"

namespace registration {
namespace {

bool IsSeparator(char16_t c) { return c >= 0x01 && c <= 0x20; }

}  // namespace

std::vector<std::u16string> SplitCommandLine(const std::u16string& line) {
  std::vector<std::u16string> words;
  // U+0000 ends the text.
  const size_t end = std::min(line.find(u'\0'), line.size());
  size_t i = 0;
  for (;;) {
    while (i < end && IsSeparator(line[i])) ++i;
    if (i + 1 < end && line[i] == u'"' && line[i + 1] == u'"') {
      i += 2;
      continue;
    }
    if (i >= end) break;
    std::u16string word;
    while (i < end && line[i] > 0x20) {
      if (line[i] == u'"') {
        ++i;
        while (i < end && line[i] != u'"') word.push_back(line[i++]);
        if (i < end) ++i;
      } else {
        word.push_back(line[i++]);
      }
    }
    // A quote left open at the very end opens a run of nothing.
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

std::u16string ExecutableFolder(const std::u16string& path) {
  const size_t last = path.find_last_of(u"\\:");
  if (last == std::u16string::npos) return std::u16string();
  if (path[last] == u':') return path.substr(0, last + 1);
  const bool root = last == 0 || path[last - 1] == u':' || path[last - 1] == u'\\';
  return path.substr(0, root ? last + 1 : last);
}

bool SettleSettings(const std::vector<std::u16string>& arguments,
                    const std::u16string& executable_folder, Settings* settings) {
  const size_t count = arguments.size();
  settings->wSetupPath = count == 1 ? arguments[0] : executable_folder;
  if (count < 2) {
    settings->wDLLPath = settings->wSetupPath + c_DLLPath;
    settings->wIconPath = settings->wSetupPath + c_IconPath;
    settings->wButtonText = c_ButtonText;
    settings->wDesc = c_Desc;
    return true;
  }
  if (count != 4) return false;
  settings->wDLLPath = arguments[0];
  settings->wIconPath = arguments[1];
  settings->wButtonText = arguments[2];
  settings->wDesc = arguments[3];
  return true;
}

}  // namespace registration
