#include "registration/output.h"

#include <gtest/gtest.h>

#include "registration/manifest.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace registration {
namespace {

const std::u16string kFolder = u"C:\\Addins\\2022";
const std::u16string kFile = kFolder + u"\\ExportToKorvane.addin";
const std::string kBom = "\xEF\xBB\xBF";

TEST(SplitLines, EachKindOfBreakEndsOneLine) {
  const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\nb", {u"a", u"b"}},
      {u"a\rb", {u"a", u"b"}},
      {u"a\n\rb", {u"a", u"", u"b"}},
      {u"a\r\rb", {u"a", u"", u"b"}},
      {u"a\n\nb", {u"a", u"", u"b"}},
      {u"a\r\n", {u"a"}},
      {u"a\r\n\r\n", {u"a", u""}},
      {u"\n", {u""}},
      {u" a \t", {u" a \t"}},
  };
  std::vector<std::u16string> wSL = {u"left over"};
  for (const auto& [text, lines] : cases) {
    SCOPED_TRACE(N(text));
    SplitLines(text, wSL);
    EXPECT_EQ(wSL, lines);
  }
}

class WriteManifestTest : public testing::Test {
 protected:
  WriteManifestTest() { os.AddFolder(kFolder); }
  bool Write(const std::u16string& text) { return WriteManifest(os, kFolder, text, wSL); }

  fake::FakePlatform os;
  std::vector<std::u16string> wSL;
};

TEST_F(WriteManifestTest, WritesTheMarkThenUtf8LinesEachEndingInCrLf) {
  const std::u16string manifest =
      FillAssemblyPath(FillManifestBase(u"C:\\i.png", u"Text", u"Desc"), u"C:\\K.dll", 2022);
  ASSERT_TRUE(Write(manifest));
  const std::string bytes = os.Read(kFile);
  EXPECT_EQ(bytes, kBom + N(manifest) + "\r\n");
  EXPECT_EQ(bytes.substr(3, 38), "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  EXPECT_EQ(bytes.substr(bytes.size() - 16), "</RevitAddIns>\r\n");
  // The mark, the 14 lines and 14 times CR LF, nothing else.
  EXPECT_EQ(bytes.size(), 3 + (N(manifest).size() - 13 * 2) + 14 * 2);
  EXPECT_EQ(os.open_files(), 0);
}

TEST_F(WriteManifestTest, LineBreaksInsideValuesBecomeCrLf) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"a\nb", "a\r\nb\r\n"},     {u"a\rb", "a\r\nb\r\n"},     {u"a\r\nb", "a\r\nb\r\n"},
      {u"a\n\rb", "a\r\n\r\nb\r\n"}, {u"a\r\rb", "a\r\n\r\nb\r\n"}, {u"a\n\nb", "a\r\n\r\nb\r\n"},
  };
  for (const auto& [text, bytes] : cases) {
    SCOPED_TRACE(N(text));
    ASSERT_TRUE(Write(text));
    EXPECT_EQ(os.Read(kFile), kBom + bytes);
  }
}

TEST_F(WriteManifestTest, ConvertsToUtf8) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"caf\u00E9 \u20AC", "caf\xC3\xA9 \xE2\x82\xAC\r\n"},
      {u"\U0001F600", "\xF0\x9F\x98\x80\r\n"},
      {u"x\xD800y\xDC00", "x\xEF\xBF\xBDy\xEF\xBF\xBD\r\n"},
  };
  for (const auto& [text, bytes] : cases) {
    SCOPED_TRACE(N(text));
    ASSERT_TRUE(Write(text));
    EXPECT_EQ(os.Read(kFile), kBom + bytes);
  }
}

TEST_F(WriteManifestTest, ReplacesALongerManifestAndTouchesNothingElse) {
  os.AddFile(kFile, std::string(5000, 'x'));
  os.AddFile(kFolder + u"\\Other.addin", "other");
  ASSERT_TRUE(Write(u"new"));
  EXPECT_EQ(os.Read(kFile), kBom + "new\r\n");
  EXPECT_EQ(os.Read(kFolder + u"\\Other.addin"), "other");
}

TEST_F(WriteManifestTest, AManifestThatCannotBeOpenedIsLeftAsItWas) {
  const uint32_t refused[] = {platform::kAttrReadOnly, platform::kAttrHidden, platform::kAttrSystem, 0};
  for (uint32_t attributes : refused) {
    SCOPED_TRACE(attributes);
    fake::FakePlatform machine;
    machine.AddFile(kFile, "old", attributes);
    if (attributes == 0) machine.HoldOpen(kFile);
    EXPECT_FALSE(WriteManifest(machine, kFolder, u"new", wSL));
    EXPECT_EQ(machine.Read(kFile), "old");
    EXPECT_EQ(machine.Files(), std::vector<std::u16string>{kFile});
  }
  fake::FakePlatform folder;
  folder.AddFolder(kFile);
  EXPECT_FALSE(WriteManifest(folder, kFolder, u"new", wSL));
  EXPECT_TRUE(folder.Files().empty());
  fake::FakePlatform no_folder;
  EXPECT_FALSE(WriteManifest(no_folder, kFolder, u"new", wSL));
  EXPECT_FALSE(no_folder.Exists(kFolder));
}

TEST_F(WriteManifestTest, ShortWritesGoOnWithTheRest) {
  os.write_cap = 2;
  ASSERT_TRUE(Write(u"hello"));
  EXPECT_EQ(os.Read(kFile), kBom + "hello\r\n");
}

TEST_F(WriteManifestTest, AFirstWriteThatTakesNothingIsTriedOnceMore) {
  struct Case {
    std::set<int> zero_writes;
    bool written;
  };
  // Two bytes a write: writes 1 and 2 carry the mark, 3 to 5 the text.
  const Case cases[] = {
      {{1}, true},        // the mark's first write, retried
      {{3}, true},        // the text's first write, retried
      {{1, 2}, false},    // the retry takes nothing too
      {{4}, false},       // a later write of the text
      {{2}, false},       // the mark's second write, after it took two bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(*c.zero_writes.begin());
    fake::FakePlatform machine;
    machine.AddFolder(kFolder);
    machine.write_cap = 2;
    machine.zero_writes = c.zero_writes;
    EXPECT_EQ(WriteManifest(machine, kFolder, u"abc", wSL), c.written);
    EXPECT_EQ(machine.Exists(kFile), c.written);
    if (c.written) {
      EXPECT_EQ(machine.Read(kFile), kBom + "abc\r\n");
    }
    EXPECT_EQ(machine.open_files(), 0);
  }
}

TEST_F(WriteManifestTest, AFullDiskMidwayKeepsTheOldManifestAndLeavesNoOtherFile) {
  os.AddFile(kFile, "old manifest");
  os.disk_free = 10;
  EXPECT_FALSE(Write(std::u16string(100, u'x')));
  EXPECT_EQ(os.Read(kFile), "old manifest");
  EXPECT_EQ(os.Files(), std::vector<std::u16string>{kFile});
  EXPECT_EQ(os.open_files(), 0);
}

TEST_F(WriteManifestTest, ANewFileLeftByAKilledRunIsReplaced) {
  os.AddFile(kFile, "old manifest");
  os.AddFile(kFolder + u"\\ExportToKorvane.tmp", "half a manifest");
  ASSERT_TRUE(Write(u"new"));
  EXPECT_EQ(os.Read(kFile), kBom + "new\r\n");
  EXPECT_EQ(os.Files(), std::vector<std::u16string>{kFile});
}

}  // namespace
}  // namespace registration
