// The contract of the platform header, run against the in-memory fake and
// against the real layer of the build (POSIX natively, Win32 under Wine), so
// that the fake behaves as the machines do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/platform.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using platform::kAttrDirectory;
using platform::kAttrHidden;
using platform::kAttrReadOnly;
using platform::kInvalidAttributes;

// A machine with a folder of the test's own, and ways to build in it from
// outside the platform.
class World {
 public:
  virtual ~World() = default;
  virtual platform::Platform& os() = 0;
  virtual std::u16string root() = 0;
  virtual void MakeFolder(const std::u16string& name) = 0;
  virtual void MakeFile(const std::u16string& name, const std::string& bytes) = 0;
  // Gives the file the read-only bit. True where the system still lets this
  // test write it (POSIX and Wine as root).
  virtual bool MakeReadOnly(const std::u16string& name) = 0;
  virtual std::string Read(const std::u16string& name) = 0;
  virtual bool Exists(const std::u16string& name) = 0;
  std::u16string At(const std::u16string& name) { return root() + u'\\' + name; }
};

class FakeWorld : public World {
 public:
  FakeWorld() {
    fake_.AddFolder(root());
    fake_.processes = {u"System", u"platform_contract_test.exe"};
    fake_.executable = u"C:\\tests\\platform_contract_test.exe";
  }
  platform::Platform& os() override { return fake_; }
  std::u16string root() override { return u"C:\\contract"; }
  void MakeFolder(const std::u16string& name) override {
    fake_.AddFolder(At(name), HiddenName(name) ? kAttrHidden : 0);
  }
  void MakeFile(const std::u16string& name, const std::string& bytes) override {
    fake_.AddFile(At(name), bytes, HiddenName(name) ? kAttrHidden : 0);
  }
  bool MakeReadOnly(const std::u16string& name) override {
    fake_.AddFile(At(name), fake_.Read(At(name)), kAttrReadOnly);
    return false;
  }
  std::string Read(const std::u16string& name) override { return fake_.Read(At(name)); }
  bool Exists(const std::u16string& name) override { return fake_.Exists(At(name)); }

 private:
  static bool HiddenName(const std::u16string& name) {
    return name[name.find_last_of(u'\\') + 1] == u'.';
  }
  fake::FakePlatform fake_;
};

// The machine itself, in a throw-away folder. A dot-name stands for a hidden
// entry: POSIX has no other, and Wine counts dot-names as hidden.
class SystemWorld : public World {
 public:
  SystemWorld() {
    native_ = fs::temp_directory_path() / ("korvane-contract-" + std::to_string(std::rand()));
    fs::remove_all(native_);
    fs::create_directories(native_);
    root_ = native_.u16string();
    for (char16_t& c : root_) {
      if (c == u'/') c = u'\\';
    }
  }
  ~SystemWorld() override {
    std::error_code ignored;
    for (const auto& e : fs::recursive_directory_iterator(native_, ignored)) {
      fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(native_, ignored);
  }
  platform::Platform& os() override { return platform::System(); }
  std::u16string root() override { return root_; }
  void MakeFolder(const std::u16string& name) override { fs::create_directories(Native(name)); }
  void MakeFile(const std::u16string& name, const std::string& bytes) override {
    std::ofstream(Native(name), std::ios::binary) << bytes;
  }
  bool MakeReadOnly(const std::u16string& name) override {
    fs::permissions(Native(name), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    return std::ofstream(Native(name), std::ios::app).is_open();
  }
  std::string Read(const std::u16string& name) override {
    std::ifstream in(Native(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::u16string& name) override { return fs::exists(Native(name)); }

 private:
  fs::path Native(const std::u16string& name) {
    std::u16string relative = name;
    for (char16_t& c : relative) {
      if (c == u'\\') c = u'/';
    }
    return native_ / fs::path(relative);
  }
  fs::path native_;
  std::u16string root_;
};

class PlatformContract : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "fake") world_.reset(new FakeWorld);
    else world_.reset(new SystemWorld);
  }
  World& w() { return *world_; }
  platform::Platform& os() { return world_->os(); }

  std::vector<std::pair<std::u16string, uint32_t>> List(const std::u16string& folder) {
    std::vector<std::pair<std::u16string, uint32_t>> entries;
    os().ListFolder(folder + u"\\*", [&](const std::u16string& name, uint32_t attributes) {
      entries.emplace_back(name, attributes);
    });
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  std::unique_ptr<World> world_;
};

constexpr uint32_t kBits = kAttrReadOnly | kAttrHidden | platform::kAttrSystem | kAttrDirectory |
                           platform::kAttrReparsePoint;

TEST_P(PlatformContract, AttributesOfFoldersFilesAndMissingPaths) {
  w().MakeFolder(u"dir");
  w().MakeFolder(u".hidden");
  w().MakeFile(u"file.txt", "x");
  EXPECT_EQ(os().FileAttributes(w().At(u"dir")) & kBits, kAttrDirectory);
  EXPECT_EQ(os().FileAttributes(w().At(u"dir\\")) & kBits, kAttrDirectory);
  EXPECT_EQ(os().FileAttributes(w().At(u".hidden")) & kBits, kAttrDirectory | kAttrHidden);
  EXPECT_EQ(os().FileAttributes(w().At(u"file.txt")) & kBits, 0u);
  EXPECT_EQ(os().FileAttributes(w().At(u"missing")), kInvalidAttributes);
  EXPECT_EQ(os().FileAttributes(w().At(u"missing\\deeper")), kInvalidAttributes);
  w().MakeReadOnly(u"file.txt");
  EXPECT_EQ(os().FileAttributes(w().At(u"file.txt")) & kBits, kAttrReadOnly);
  EXPECT_TRUE(os().CanOpenTarget(w().At(u"dir")));
  EXPECT_FALSE(os().CanOpenTarget(w().At(u"missing")));
}

TEST_P(PlatformContract, ListingYieldsDotEntriesAndHiddenOnes) {
  w().MakeFolder(u"top\\sub");
  w().MakeFolder(u"top\\.hidden");
  w().MakeFile(u"top\\file", "");
  const std::vector<std::pair<std::u16string, uint32_t>> expected = {
      {u".", kAttrDirectory}, {u"..", kAttrDirectory}, {u".hidden", kAttrDirectory | kAttrHidden},
      {u"file", 0}, {u"sub", kAttrDirectory}};
  std::vector<std::pair<std::u16string, uint32_t>> listed = List(w().At(u"top"));
  for (auto& entry : listed) entry.second &= kBits;
  EXPECT_EQ(listed, expected);
  EXPECT_TRUE(List(w().At(u"missing")).empty());
  EXPECT_TRUE(List(w().At(u"top\\file")).empty());
}

TEST_P(PlatformContract, CreateTruncatesWritesAndCloses) {
  w().MakeFolder(u"out");
  const std::u16string path = w().At(u"out\\m.addin");
  for (const std::string& bytes : {std::string("a longer first text"), std::string("short")}) {
    platform::FileHandle file = os().CreateFile(path);
    ASSERT_NE(file, platform::kInvalidFile);
    uint32_t written = 0;
    ASSERT_TRUE(os().WriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written));
    EXPECT_EQ(written, bytes.size());
    EXPECT_TRUE(os().CloseFile(file));
    EXPECT_EQ(w().Read(u"out\\m.addin"), bytes);
  }
  EXPECT_TRUE(os().RemoveFile(path));
  EXPECT_FALSE(w().Exists(u"out\\m.addin"));
  EXPECT_FALSE(os().RemoveFile(path));
}

TEST_P(PlatformContract, CreateFailsWhereNoFileCanBe) {
  w().MakeFolder(u"out");
  EXPECT_EQ(os().CreateFile(w().At(u"missing\\m.addin")), platform::kInvalidFile);
  EXPECT_FALSE(w().Exists(u"missing"));
  EXPECT_EQ(os().CreateFile(w().At(u"out")), platform::kInvalidFile);
  w().MakeFile(u"out\\ro.addin", "old");
  if (!w().MakeReadOnly(u"out\\ro.addin")) {
    EXPECT_EQ(os().CreateFile(w().At(u"out\\ro.addin")), platform::kInvalidFile);
    EXPECT_EQ(w().Read(u"out\\ro.addin"), "old");
  }
}

TEST_P(PlatformContract, AFlushedFileReplacesAnotherInOneMove) {
  w().MakeFolder(u"out");
  w().MakeFile(u"out\\m.addin", "the old manifest");
  const std::u16string fresh = w().At(u"out\\m.tmp");
  platform::FileHandle file = os().CreateFile(fresh);
  ASSERT_NE(file, platform::kInvalidFile);
  uint32_t written = 0;
  ASSERT_TRUE(os().WriteFile(file, "new", 3, &written));
  EXPECT_TRUE(os().FlushFile(file));
  EXPECT_TRUE(os().CloseFile(file));
  EXPECT_TRUE(os().MoveReplacing(fresh, w().At(u"out\\m.addin")));
  EXPECT_EQ(w().Read(u"out\\m.addin"), "new");
  EXPECT_FALSE(w().Exists(u"out\\m.tmp"));
  // To a name that is free, and over a hidden file, which the move does not refuse.
  w().MakeFile(u"out\\a.tmp", "a");
  EXPECT_TRUE(os().MoveReplacing(w().At(u"out\\a.tmp"), w().At(u"out\\free.addin")));
  EXPECT_EQ(w().Read(u"out\\free.addin"), "a");
  w().MakeFile(u"out\\.hidden.addin", "h");
  w().MakeFile(u"out\\h.tmp", "over hidden");
  EXPECT_TRUE(os().MoveReplacing(w().At(u"out\\h.tmp"), w().At(u"out\\.hidden.addin")));
  EXPECT_EQ(w().Read(u"out\\.hidden.addin"), "over hidden");
}

TEST_P(PlatformContract, AMoveOntoAFolderOrFromNothingChangesNothing) {
  w().MakeFolder(u"out\\dir.addin");
  w().MakeFile(u"out\\b.tmp", "b");
  w().MakeFile(u"out\\m.addin", "old");
  EXPECT_FALSE(os().MoveReplacing(w().At(u"out\\b.tmp"), w().At(u"out\\dir.addin")));
  EXPECT_EQ(w().Read(u"out\\b.tmp"), "b");
  EXPECT_EQ(os().FileAttributes(w().At(u"out\\dir.addin")) & kBits, kAttrDirectory);
  EXPECT_FALSE(os().MoveReplacing(w().At(u"out\\missing.tmp"), w().At(u"out\\m.addin")));
  EXPECT_EQ(w().Read(u"out\\m.addin"), "old");
}

TEST_P(PlatformContract, RemoveTakesOnlyAFileThatIsNotReadOnly) {
  w().MakeFolder(u"out\\folder.addin");
  w().MakeFile(u"out\\ro.addin", "old");
  w().MakeReadOnly(u"out\\ro.addin");
  EXPECT_FALSE(os().RemoveFile(w().At(u"out\\ro.addin")));
  EXPECT_EQ(w().Read(u"out\\ro.addin"), "old");
  EXPECT_FALSE(os().RemoveFile(w().At(u"out\\folder.addin")));
  EXPECT_TRUE(w().Exists(u"out\\folder.addin"));
  EXPECT_FALSE(os().RemoveFile(w().At(u"out\\missing.addin")));
}

TEST_P(PlatformContract, PathsOf260UnitsOrMoreAreRefused) {
  // root\<name>\<file>: a file path of exactly 259 units works, 260 doesn't.
  const size_t folder_length = 250 - w().root().size();
  ASSERT_LT(folder_length, 250u);
  const std::u16string folder(folder_length - 1, u'd');
  w().MakeFolder(folder);
  const std::u16string fits = w().At(folder + u"\\" + std::u16string(259 - 251, u'f'));
  const std::u16string too_long = fits + u'f';
  ASSERT_EQ(fits.size(), 259u);
  platform::FileHandle file = os().CreateFile(fits);
  ASSERT_NE(file, platform::kInvalidFile);
  EXPECT_TRUE(os().CloseFile(file));
  EXPECT_NE(os().FileAttributes(fits), kInvalidAttributes);
  EXPECT_EQ(os().CreateFile(too_long), platform::kInvalidFile);
  EXPECT_EQ(os().FileAttributes(too_long), kInvalidAttributes);
  const std::u16string deep = w().At(folder + u"\\" + std::u16string(259 - 253, u'e'));
  w().MakeFolder(folder + u"\\" + std::u16string(259 - 253, u'e'));
  EXPECT_EQ(List(deep).size(), 2u);         // the pattern deep\* has 259 units
  EXPECT_TRUE(List(deep + u"e").empty());   // ... and here 260
}

TEST_P(PlatformContract, FolderIdentityFollowsTheFolderNotThePath) {
  w().MakeFolder(u"a");
  w().MakeFolder(u"b");
  platform::FolderId a, a_again, b;
  ASSERT_TRUE(os().GetFolderId(w().At(u"a"), &a));
  ASSERT_TRUE(os().GetFolderId(w().At(u"a\\"), &a_again));
  ASSERT_TRUE(os().GetFolderId(w().At(u"b"), &b));
  EXPECT_FALSE(a < a_again || a_again < a);
  EXPECT_TRUE(a < b || b < a);
  EXPECT_FALSE(os().GetFolderId(w().At(u"missing"), &b));
}

TEST_P(PlatformContract, ProcessListHoldsThisTest) {
  const std::u16string own = os().OwnExecutablePath();
  const std::u16string name = own.substr(own.find_last_of(u"\\") + 1);
  ASSERT_FALSE(name.empty());
  bool found = false;
  EXPECT_TRUE(os().ListProcesses([&](const std::u16string& exe) {
    const std::u16string file_name = exe.substr(exe.find_last_of(u"\\") + 1);
    found = found || file_name == name;
  }));
  EXPECT_TRUE(found) << N(name);
}

TEST_P(PlatformContract, Utf8ConversionIsStandard) {
  std::string utf8;
  ASSERT_TRUE(os().ToUtf8(u"a\u00E9\u20AC\U0001F600\xD800z", &utf8));
  EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBDz");
}

INSTANTIATE_TEST_SUITE_P(, PlatformContract, testing::Values("fake", "system"),
                         [](const testing::TestParamInfo<const char*>& info) { return info.param; });

}  // namespace
