// Splitting never yields an empty word, and quoting the words again and
// splitting the result gives them back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "registration/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string line;
  for (size_t i = 0; i + 1 < size; i += 2) line.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  const std::vector<std::u16string> words = registration::SplitCommandLine(line);
  std::u16string again;
  for (const std::u16string& word : words) {
    if (word.empty() || word.find(u'"') != std::u16string::npos || word.find(u'\0') != std::u16string::npos) {
      std::abort();
    }
    again += u"\"" + word + u"\" ";
  }
  if (registration::SplitCommandLine(again) != words) std::abort();
  return 0;
}
