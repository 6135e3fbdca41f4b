#include "registration/discovery.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace registration {
namespace {

using platform::kAttrHidden;
using platform::kAttrSystem;

const std::u16string kRoot = u"C:\\Users\\user\\AppData\\Roaming\\Autodesk\\Revit\\Addins\\";

std::vector<std::u16string> Scan(fake::FakePlatform& os) {
  std::vector<std::u16string> dirs;
  GetSubDirs(os, kRoot, dirs);
  return dirs;
}

TEST(ReadInteger, ReadsTheWholeNameOrNothing) {
  struct Case {
    std::u16string name;
    bool number;
    int32_t value;
  };
  const Case cases[] = {
      {u"2021", true, 2021}, {u"   2021", true, 2021}, {u"+2021", true, 2021},
      {u"02021", true, 2021}, {u"$7E5", true, 2021}, {u"0x7E5", true, 2021},
      {u"0X7e5", true, 2021}, {u"x7e5", true, 2021}, {u"X7E5", true, 2021},
      {u"-$FFFFF81B", true, 2021}, {u" +$7e5", true, 2021}, {u"$00000000000007E5", true, 2021},
      {u"-2021", true, -2021}, {u"0", true, 0}, {u"2147483647", true, 2147483647},
      {u"-2147483648", true, INT32_MIN}, {u"$FFFFFFFF", true, -1}, {u"-$80000001", true, 2147483647},
      {u"2147483648", false, 0}, {u"-2147483649", false, 0}, {u"$100000000", false, 0},
      {u"99999999999999999999", false, 0},
      {u"2021 ", false, 0}, {u"\t2021", false, 0}, {u"\u00A02021", false, 0}, {u"2021a", false, 0},
      {u"7E5", false, 0}, {u"2024.1", false, 0}, {u"", false, 0}, {u" ", false, 0},
      {u"+", false, 0}, {u"-", false, 0}, {u"$", false, 0}, {u"0x", false, 0}, {u"+-2021", false, 0},
      {u"- 2021", false, 0}, {u"$G", false, 0}, {u"2,021", false, 0}, {u"2e3", false, 0},
      {u"\uFF12\uFF10\uFF12\uFF11", false, 0}, {u"$-7E5", false, 0}, {u"0x0x7E5", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(N(c.name));
    int32_t value = 12345;
    ASSERT_EQ(ReadInteger(c.name, &value), c.number);
    if (c.number) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(IsVersionFolder, AcceptsOnlyTheSupportedYears) {
  const std::pair<std::u16string, int32_t> cases[] = {
      {u"C:\\A\\2021", 2021}, {u"C:\\A\\2026", 2026}, {u"C:\\A\\Vendor\\2022", 2022},
      {u"C:\\A\\2022\\2021", 2021}, {u"C:\\A\\$7E5", 2021}, {u"C:\\2024\\x", 0},
      {u"C:\\A\\2020", 0}, {u"C:\\A\\2027", 0}, {u"C:\\A\\-2021", 0}, {u"C:\\A\\2024.1", 0},
      {u"2021", 0},
  };
  for (const auto& [entry, version] : cases) {
    SCOPED_TRACE(N(entry));
    int32_t read = 0;
    EXPECT_EQ(IsVersionFolder(entry, &read), version != 0);
    EXPECT_EQ(read, version);
  }
}

TEST(GetSubDirs, ListsEachFoldersSubFoldersTogetherThenEachSubtree) {
  fake::FakePlatform os;
  for (const char16_t* f : {u"A", u"B", u"A\\A1", u"A\\A2", u"A\\A1\\A1x", u"B\\B1"}) {
    os.AddFolder(kRoot + f);
  }
  os.AddFile(kRoot + u"A\\2022", "a plain file");
  std::vector<std::u16string> expected;
  for (const char16_t* f : {u"A", u"B", u"A\\A1", u"A\\A2", u"A\\A1\\A1x", u"B\\B1"}) {
    expected.push_back(kRoot + f);
  }
  EXPECT_EQ(Scan(os), expected);
}

TEST(GetSubDirs, LeavesOutHiddenAndSystemFoldersAndAllBelowThem) {
  fake::FakePlatform os;
  os.AddFolder(kRoot + u"2023", kAttrHidden);
  os.AddFolder(kRoot + u"2023\\2024");
  os.AddFolder(kRoot + u"Sys", kAttrSystem);
  os.AddFolder(kRoot + u"Sys\\2025");
  os.AddFolder(kRoot + u"2022");
  EXPECT_EQ(Scan(os), std::vector<std::u16string>{kRoot + u"2022"});
}

TEST(GetSubDirs, AddDirSeparatorAddsOneBackslashAtMost) {
  EXPECT_EQ(AddDirSeparator(u"C:\\a"), u"C:\\a\\");
  EXPECT_EQ(AddDirSeparator(u"C:\\a\\"), u"C:\\a\\");
  EXPECT_EQ(AddDirSeparator(u""), u"\\");
}

TEST(GetSubDirs, NeverDescendsIntoTheSameFolderTwice) {
  // Two links back to the root and one from deep inside: without a memory of
  // where it has been the scan doubles its work at every level.
  fake::FakePlatform os;
  os.AddFolder(kRoot + u"2022\\deep\\deeper");
  os.AddFolder(kRoot + u"Vendor\\2023");
  os.AddLink(kRoot + u"loop1", kRoot);
  os.AddLink(kRoot + u"loop2", kRoot);
  os.AddLink(kRoot + u"2022\\deep\\deeper\\back", kRoot + u"Vendor");
  std::vector<std::u16string> dirs = Scan(os);
  const std::vector<std::u16string> expected = {
      kRoot + u"2022", kRoot + u"Vendor", kRoot + u"loop1", kRoot + u"loop2",
      kRoot + u"2022\\deep", kRoot + u"2022\\deep\\deeper", kRoot + u"2022\\deep\\deeper\\back",
      // Reached through the deep link first; Vendor itself is then not
      // descended into again.
      kRoot + u"2022\\deep\\deeper\\back\\2023"};
  EXPECT_EQ(dirs, expected);
}

TEST(GetSubDirs, AsksNoFolderIdentityInATreeWithoutLinks) {
  // Only a link can lead back, and asking costs an open of every folder.
  fake::FakePlatform os;
  os.AddFolder(kRoot + u"2022\\deep");
  os.AddFolder(kRoot + u"Vendor\\2023");
  EXPECT_EQ(Scan(os).size(), 4u);
  EXPECT_EQ(std::count(os.calls().begin(), os.calls().end(), fake::Call::kFolderId), 0);
}

TEST(AddinRoot, NeedsTheApplicationDataFolder) {
  fake::FakePlatform os;
  EXPECT_EQ(AddinRoot(os), kRoot);
  os.app_data_known = false;
  EXPECT_EQ(AddinRoot(os), u"");
}

TEST(AddinRootExists, IsAFolderOrALinkWhoseTargetOpens) {
  fake::FakePlatform os;
  EXPECT_FALSE(AddinRootExists(os, kRoot));
  os.AddFolder(kRoot);
  EXPECT_TRUE(AddinRootExists(os, kRoot));

  fake::FakePlatform links;
  links.AddFolder(u"D:\\Elsewhere");
  links.AddLink(u"C:\\A\\Good", u"D:\\Elsewhere");
  links.AddLink(u"C:\\A\\Dangling", u"D:\\Missing");
  links.AddFile(u"C:\\A\\File", "x");
  EXPECT_TRUE(AddinRootExists(links, u"C:\\A\\Good\\"));
  EXPECT_FALSE(AddinRootExists(links, u"C:\\A\\Dangling\\"));
  EXPECT_FALSE(AddinRootExists(links, u"C:\\A\\File"));
}

}  // namespace
}  // namespace registration
