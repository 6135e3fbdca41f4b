#include "registration/command_line.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

namespace registration {
namespace {

TEST(SplitCommandLine, FollowsTheSplittingRule) {
  struct Case {
    std::u16string line;
    std::vector<std::u16string> words;
  };
  const Case cases[] = {
      {u"", {}},
      {u"prog", {u"prog"}},
      {u"prog a b", {u"prog", u"a", u"b"}},
      {u"  prog \t a\r\n\x01 b\x1f", {u"prog", u"a", u"b"}},
      {u"prog \"C:\\Program Files\\K\"", {u"prog", u"C:\\Program Files\\K"}},
      {u"prog C:\\\"Program Files\"\\K", {u"prog", u"C:\\Program Files\\K"}},
      {u"prog a\"\"b", {u"prog", u"ab"}},
      {u"prog a \"\" b c", {u"prog", u"a", u"b", u"c"}},
      {u"prog \"\"a", {u"prog", u"a"}},
      {u"prog \"\"\"\" a", {u"prog", u"a"}},
      // No escape character: the backslash stays and the quote still closes.
      {u"prog \"a\\\" b", {u"prog", u"a\\", u"b"}},
      {u"prog \"C:\\Setup\\\"", {u"prog", u"C:\\Setup\\"}},
      {u"prog a\u00A0b", {u"prog", u"a\u00A0b"}},
      {u"prog \"open quote \t runs on", {u"prog", u"open quote \t runs on"}},
      {u"prog \"", {u"prog"}},
      {u"prog a", {u"prog", u"a"}},
      {std::u16string(u"prog a\0 b", 9), {u"prog", u"a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(N(c.line));
    EXPECT_EQ(SplitCommandLine(c.line), c.words);
  }
}

TEST(ExecutableFolder, KeepsTheBackslashOnlyForRoots) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\Tools\\x.exe", u"C:\\Tools"},
      {u"C:\\x.exe", u"C:\\"},
      {u"\\\\server\\share\\x.exe", u"\\\\server\\share"},
      {u"C:x.exe", u"C:"},
      {u"C:\\a/b.exe", u"C:\\"},
      {u"C:\\Tools\\sub/x.exe", u"C:\\Tools"},
      {u"\\x.exe", u"\\"},
      {u"C:\\Tools\\\\x.exe", u"C:\\Tools\\\\"},
      {u"x.exe", u""},
      {u"", u""},
  };
  for (const auto& [path, folder] : cases) {
    SCOPED_TRACE(N(path));
    EXPECT_EQ(ExecutableFolder(path), folder);
  }
}

TEST(SettleSettings, GivesTheSettingsOfEachArgumentCount) {
  const std::u16string exe_folder = u"C:\\Tools";
  struct Case {
    std::vector<std::u16string> arguments;
    bool good;
    Settings settings;
  };
  const std::u16string text = u"Korvane Interface";
  const std::u16string desc = u"Communication Addin between Revit and Korvane";
  const Case cases[] = {
      {{}, true, {u"C:\\Tools", u"C:\\Tools\\Kestrun.dll", u"C:\\Tools\\export.png", text, desc}},
      {{u"D:\\Setup\\"}, true,
       {u"D:\\Setup\\", u"D:\\Setup\\\\Kestrun.dll", u"D:\\Setup\\\\export.png", text, desc}},
      {{u"a", u"b"}, false, {}},
      {{u"a", u"b", u"c"}, false, {}},
      {{u"a.dll", u"b.png", u"Text", u"Desc"}, true, {u"C:\\Tools", u"a.dll", u"b.png", u"Text", u"Desc"}},
      {{u"a", u"b", u"c", u"d", u"e"}, false, {}},
      {{u"a", u"b", u"c", u"d", u"e", u"f"}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.size());
    Settings s;
    ASSERT_EQ(SettleSettings(c.arguments, exe_folder, &s), c.good);
    if (!c.good) continue;
    EXPECT_EQ(s.wSetupPath, c.settings.wSetupPath);
    EXPECT_EQ(s.wDLLPath, c.settings.wDLLPath);
    EXPECT_EQ(s.wIconPath, c.settings.wIconPath);
    EXPECT_EQ(s.wButtonText, c.settings.wButtonText);
    EXPECT_EQ(s.wDesc, c.settings.wDesc);
  }
}

}  // namespace
}  // namespace registration
