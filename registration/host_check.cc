#include "registration/host_check.h"

namespace registration {
namespace {

std::u16string UpperAscii(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}

}  // namespace

bool ProcessExists(platform::Platform& os, const std::u16string& exeFileName) {
  const std::u16string wanted = UpperAscii(exeFileName);
  bool result = false;
  // The walk goes to the last entry; a match does not end it.
  os.ListProcesses([&](const std::u16string& executable) {
    const std::u16string name = UpperAscii(executable);
    const size_t last = name.find_last_of(u"\\:");
    const std::u16string file_name = last == std::u16string::npos ? name : name.substr(last + 1);
    if (file_name == wanted || name == wanted) result = true;
  });
  return result;
}

}  // namespace registration
