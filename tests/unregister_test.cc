#include <gtest/gtest.h>

#include <algorithm>

#include "registration/constants.h"
#include "registration/help.h"
#include "registration/run.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace registration {
namespace {

const std::u16string kAddins = u"C:\\Users\\user\\AppData\\Roaming\\Autodesk\\Revit\\Addins";
const std::u16string kName = u"\\ExportToKorvane.addin";

// Whether the host was looked for since call number `since`.
bool LookedForHost(const fake::FakePlatform& os, size_t since = 0) {
  return std::count(os.calls().begin() + since, os.calls().end(), fake::Call::kProcesses) > 0;
}

// A tree registered once, then given things that must survive a removal.
void RegisteredTree(fake::FakePlatform& os) {
  for (const char16_t* f : {u"\\2021", u"\\Vendor\\2022", u"\\2023\\2024", u"\\Other\\Deep\\2026"}) {
    os.AddFolder(kAddins + f);
  }
  ASSERT_EQ(Register(os), 0);
  os.AddFile(kAddins + u"\\Hidden\\2025" + kName, "hidden");
  os.AddFolder(kAddins + u"\\Hidden", platform::kAttrHidden);
  os.AddFile(kAddins + u"\\Vendor" + kName, "not a version folder");
  os.AddFile(kAddins + u"\\2021\\Other.addin", "other");
  os.AddFolder(kAddins + u"\\2025" + kName);
  os.command_line = u"C:\\Setup\\korvane-unregister.exe";
}

TEST(Unregister, RemovesTheManifestOfEveryVersionFolderAndNothingElse) {
  fake::FakePlatform os;
  RegisteredTree(os);
  EXPECT_EQ(Unregister(os), 0);
  std::vector<std::u16string> left = os.Files();
  std::sort(left.begin(), left.end());
  const std::vector<std::u16string> expected = {
      kAddins + u"\\2021\\Other.addin", kAddins + u"\\Hidden\\2025" + kName,
      kAddins + u"\\Vendor" + kName};
  EXPECT_EQ(left, expected);
  EXPECT_EQ(os.Read(kAddins + u"\\Hidden\\2025" + kName), "hidden");
  EXPECT_TRUE(os.Exists(kAddins + u"\\2025" + kName));  // the folder of that name
  EXPECT_TRUE(os.Exists(kAddins + u"\\2023\\2024"));
  EXPECT_EQ(os.stdout_text, u"");
  // A second removal finds nothing to remove, and that is fine.
  EXPECT_EQ(Unregister(os), 0);
}

TEST(Unregister, AManifestThatCannotBeRemovedGivesMinusOneAndTheOthersGo) {
  for (bool read_only : {true, false}) {
    SCOPED_TRACE(read_only ? "read-only" : "held open");
    fake::FakePlatform os;
    RegisteredTree(os);
    const std::u16string stuck = kAddins + u"\\Vendor\\2022" + kName;
    const std::string bytes = os.Read(stuck);
    if (read_only) os.AddFile(stuck, bytes, platform::kAttrReadOnly);
    else os.HoldOpen(stuck);
    os.processes = {u"Revit.exe"};
    const size_t since = os.calls().size();
    EXPECT_EQ(Unregister(os), c_CouldNotWriteFile);
    EXPECT_EQ(os.Read(stuck), bytes);
    EXPECT_FALSE(os.Exists(kAddins + u"\\2021" + kName));
    EXPECT_FALSE(os.Exists(kAddins + u"\\Other\\Deep\\2026" + kName));
    EXPECT_FALSE(LookedForHost(os, since));
  }
}

TEST(Unregister, ExitCodesWithTheHostRunningAndNot) {
  struct Case {
    const char* name;
    void (*make)(fake::FakePlatform&);
    int32_t not_running;
    int32_t running;
  };
  const Case cases[] = {
      {"manifests removed", [](fake::FakePlatform& os) { os.AddFile(kAddins + u"\\2022" + kName, "m"); },
       0, c_RevitRuns},
      {"version folders without a manifest", [](fake::FakePlatform& os) { os.AddFolder(kAddins + u"\\2022"); },
       0, 0},
      {"no root", [](fake::FakePlatform&) {}, c_NoProperFolder, c_NoProperFolder},
      {"no application data", [](fake::FakePlatform& os) {
         os.AddFile(u"C:\\Autodesk\\Revit\\Addins\\2022" + kName, "m");
         os.app_data_known = false;
       }, c_NoProperFolder, c_NoProperFolder},
      {"no version folder", [](fake::FakePlatform& os) {
         os.AddFile(kAddins + u"\\2020" + kName, "m");
         os.AddFile(kAddins + u"\\Hidden\\2022" + kName, "m");
         os.AddFolder(kAddins + u"\\Hidden", platform::kAttrHidden);
       }, c_NoProperFolder, c_NoProperFolder},
      {"one removed, one read-only", [](fake::FakePlatform& os) {
         os.AddFile(kAddins + u"\\2021" + kName, "m");
         os.AddFile(kAddins + u"\\2022" + kName, "m", platform::kAttrReadOnly);
       }, c_CouldNotWriteFile, c_CouldNotWriteFile},
  };
  for (const Case& c : cases) {
    for (bool running : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (running ? ", host running" : ""));
      fake::FakePlatform os;
      c.make(os);
      os.command_line = u"korvane-unregister";
      if (running) os.processes = {u"C:\\Autodesk\\REVIT.EXE"};
      EXPECT_EQ(Unregister(os), running ? c.running : c.not_running);
      EXPECT_EQ(os.stdout_text, u"");
      EXPECT_EQ(LookedForHost(os), c.running == c_RevitRuns);
    }
  }
}

TEST(Unregister, AnyArgumentIsABadCallAndNothingIsRemoved) {
  for (const char16_t* line : {u"k a", u"k a b", u"k a b c d", u"k \"C:\\Setup\\\""}) {
    SCOPED_TRACE(N(line));
    fake::FakePlatform os;
    os.AddFile(kAddins + u"\\2022" + kName, "m");
    os.command_line = line;
    EXPECT_EQ(Unregister(os), c_BadCall);
    EXPECT_EQ(os.Read(kAddins + u"\\2022" + kName), "m");
    EXPECT_EQ(os.stdout_text, u"");
    for (fake::Call call : os.calls()) EXPECT_EQ(call, fake::Call::kCommandLine);
  }
}

TEST(HelpRequest, PrintsTheUsageAndEndsWithMinusFourHavingLookedAtNothing) {
  struct Program {
    int32_t (*run)(platform::Platform&);
    const char16_t* usage;
  };
  for (const Program& program : {Program{Register, c_RegisterUsage}, Program{Unregister, c_UnregisterUsage}}) {
    for (const char16_t* request : {u"/?", u"-?", u"-h", u"--help"}) {
      SCOPED_TRACE(N(request));
      fake::FakePlatform os;
      os.AddFile(kAddins + u"\\2022" + kName, "m");
      os.command_line = u"\"C:\\My Setup\\program.exe\"  " + std::u16string(request);
      EXPECT_EQ(program.run(os), c_BadCall);
      EXPECT_EQ(os.stdout_text, program.usage);
      EXPECT_EQ(os.Read(kAddins + u"\\2022" + kName), "m");
      for (fake::Call call : os.calls()) {
        EXPECT_TRUE(call == fake::Call::kCommandLine || call == fake::Call::kStdout);
      }
    }
  }
}

TEST(HelpRequest, TheUsageTellsTheVersionAndTheUnsignedCodes) {
  for (const std::u16string usage : {c_RegisterUsage, c_UnregisterUsage}) {
    const std::string text = N(usage);
    EXPECT_NE(text.find(" " KORVANE_VERSION "\r\n"), std::string::npos);
    for (const char* code : {"4294967295", "4294967294", "4294967293", "4294967292"}) {
      EXPECT_NE(text.find(code), std::string::npos) << code;
    }
  }
}

TEST(HelpRequest, OtherSingleArgumentsStaySetupFolders) {
  for (const char16_t* folder : {u"/h", u"-help", u"--HELP", u"?", u"\"/? \"", u"-H"}) {
    SCOPED_TRACE(N(folder));
    fake::FakePlatform os;
    os.AddFolder(kAddins + u"\\2022");
    os.command_line = u"k " + std::u16string(folder);
    EXPECT_EQ(Register(os), 0);
    EXPECT_EQ(os.stdout_text, u"");
    EXPECT_TRUE(os.Exists(kAddins + u"\\2022" + kName));
  }
}

}  // namespace
}  // namespace registration
