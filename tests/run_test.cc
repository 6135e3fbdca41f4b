#include "registration/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

#include "registration/constants.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace registration {
namespace {

const std::u16string kAddins = u"C:\\Users\\user\\AppData\\Roaming\\Autodesk\\Revit\\Addins";
const std::u16string kName = u"\\ExportToKorvane.addin";

// A line of the manifest in a folder, from 1.
std::string Line(fake::FakePlatform& os, const std::u16string& folder, size_t line) {
  const std::string bytes = os.Read(folder + kName);
  size_t start = 3;
  for (size_t i = 1; i < line; ++i) start = bytes.find("\r\n", start) + 2;
  return bytes.substr(start, bytes.find("\r\n", start) - start);
}

TEST(RegistrationRun, BadCallsEndWithMinusFourAndDoNothingElse) {
  for (const char16_t* line : {u"k a b", u"k a b c", u"k a b c d e", u"k a b c d e f", u"k a \"\" b c"}) {
    SCOPED_TRACE(N(line));
    fake::FakePlatform os;
    os.AddFolder(kAddins + u"\\2022");
    os.processes = {u"Revit.exe"};
    os.command_line = line;
    EXPECT_EQ(registration::Register(os), c_BadCall);
    EXPECT_TRUE(os.Files().empty());
    EXPECT_EQ(os.stdout_text, u"");
    for (fake::Call call : os.calls()) {
      EXPECT_TRUE(call == fake::Call::kCommandLine || call == fake::Call::kOwnExecutable);
    }
  }
}

TEST(RegistrationRun, DefaultsComeFromTheExecutablesFolder) {
  fake::FakePlatform os;
  os.AddFolder(kAddins + u"\\2023");
  os.command_line = u"\"C:\\My Tools\\korvane-register.exe\"";
  os.executable = u"C:\\My Tools\\korvane-register.exe";
  EXPECT_EQ(registration::Register(os), 0);
  EXPECT_EQ(Line(os, kAddins + u"\\2023", 4), "    <Assembly>C:\\My Tools\\Kestrun2023.dll</Assembly>");
  EXPECT_EQ(Line(os, kAddins + u"\\2023", 12), "    <LargeImage>C:\\My Tools\\export.png</LargeImage>");
}

TEST(RegistrationRun, OneArgumentIsTheSetupFolderTakenVerbatim) {
  fake::FakePlatform os;
  os.AddFolder(kAddins + u"\\2024");
  os.command_line = u"k \"D:\\Not There\\\"";
  EXPECT_EQ(registration::Register(os), 0);
  EXPECT_EQ(Line(os, kAddins + u"\\2024", 4), "    <Assembly>D:\\Not There\\\\Kestrun2024.dll</Assembly>");
}

TEST(RegistrationRun, FourArgumentsGoIntoTheManifests) {
  fake::FakePlatform os;
  os.AddFolder(kAddins + u"\\2021");
  os.AddFolder(kAddins + u"\\Vendor\\2026");
  os.command_line = u"k C:\\K\\K.dll C:\\K\\i.png \"B\u00E9 \U0001F600\" \"D & <d>\"";
  EXPECT_EQ(registration::Register(os), 0);
  for (const char16_t* v : {u"\\2021", u"\\Vendor\\2026"}) {
    EXPECT_EQ(Line(os, kAddins + v, 7), "    <Text>B\xC3\xA9 \xF0\x9F\x98\x80</Text>");
    EXPECT_EQ(Line(os, kAddins + v, 8), "    <Description>D &amp; &lt;d&gt;</Description>");
  }
  EXPECT_EQ(Line(os, kAddins + u"\\2021", 4), "    <Assembly>C:\\K\\K2021.dll</Assembly>");
  EXPECT_EQ(Line(os, kAddins + u"\\Vendor\\2026", 4), "    <Assembly>C:\\K\\K2026.dll</Assembly>");
  // Two manifests differ in their assembly line alone.
  std::string a = os.Read(kAddins + u"\\2021" + kName), b = os.Read(kAddins + u"\\Vendor\\2026" + kName);
  a.replace(a.find("2021.dll"), 4, "2026");
  EXPECT_EQ(a, b);
}

TEST(RegistrationRun, ExitCodesWithTheHostRunningAndNot) {
  struct Case {
    const char* name;
    void (*make)(fake::FakePlatform&);
    int32_t not_running;
    int32_t running;
  };
  const Case cases[] = {
      {"all written", [](fake::FakePlatform& os) { os.AddFolder(kAddins + u"\\2022"); }, 0, c_RevitRuns},
      {"a write failed, another succeeded",
       [](fake::FakePlatform& os) {
         os.AddFile(kAddins + u"\\2022" + kName, "old", platform::kAttrReadOnly);
         os.AddFolder(kAddins + u"\\2023");
       },
       c_CouldNotWriteFile, c_CouldNotWriteFile},
      {"no root", [](fake::FakePlatform&) {}, c_NoProperFolder, c_NoProperFolder},
      {"no application data", [](fake::FakePlatform& os) {
         os.AddFolder(u"C:\\Autodesk\\Revit\\Addins\\2022");
         os.app_data_known = false;
       }, c_NoProperFolder, c_NoProperFolder},
      {"empty root", [](fake::FakePlatform& os) { os.AddFolder(kAddins); }, c_NoProperFolder, c_NoProperFolder},
      {"no version folder", [](fake::FakePlatform& os) {
         os.AddFolder(kAddins + u"\\2020");
         os.AddFolder(kAddins + u"\\2027");
         os.AddFolder(kAddins + u"\\2023", platform::kAttrHidden);
         os.AddFile(kAddins + u"\\2024", "");
       }, c_NoProperFolder, c_NoProperFolder},
      {"root links to a missing target", [](fake::FakePlatform& os) {
         os.AddLink(kAddins, u"D:\\Gone");
       }, c_NoProperFolder, c_NoProperFolder},
  };
  for (const Case& c : cases) {
    for (bool running : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (running ? ", host running" : ""));
      fake::FakePlatform os;
      c.make(os);
      if (running) os.processes = {u"C:\\Autodesk\\Revit.exe"};
      EXPECT_EQ(registration::Register(os), running ? c.running : c.not_running);
      EXPECT_EQ(os.stdout_text, u"");
      const bool looked = std::count(os.calls().begin(), os.calls().end(), fake::Call::kProcesses) > 0;
      EXPECT_EQ(looked, c.not_running == 0);
      EXPECT_EQ(os.Exists(u"C:\\Autodesk\\Revit\\Addins\\2022" + kName), false);
    }
  }
}

TEST(RegistrationRun, MinusOneSticksAndTheOtherFoldersStillGetTheirs) {
  fake::FakePlatform os;
  os.AddFolder(kAddins + u"\\2021");
  os.AddFile(kAddins + u"\\2022" + kName, "held");
  os.HoldOpen(kAddins + u"\\2022" + kName);
  os.AddFolder(kAddins + u"\\2023");
  EXPECT_EQ(registration::Register(os), c_CouldNotWriteFile);
  EXPECT_TRUE(os.Exists(kAddins + u"\\2021" + kName));
  EXPECT_EQ(os.Read(kAddins + u"\\2022" + kName), "held");
  EXPECT_TRUE(os.Exists(kAddins + u"\\2023" + kName));
}

TEST(RegistrationRun, NoSnapshotCountsAsTheHostNotRunning) {
  fake::FakePlatform os;
  os.AddFolder(kAddins + u"\\2022");
  os.snapshot_available = false;
  EXPECT_EQ(registration::Register(os), 0);
}

TEST(RegistrationRun, AnUnexpectedFailurePrintsOneLineAndNeverEndsWithZero) {
  // The executable's path is read first, and without it there are no defaults.
  fake::FakePlatform os;
  os.AddFolder(kAddins + u"\\2022");
  os.executable = u"";
  EXPECT_EQ(registration::Register(os), c_Failed);
  EXPECT_EQ(os.stdout_text, u"PlatformError: the program's own path can't be read\r\n");
  EXPECT_TRUE(os.Files().empty());

  fake::FakePlatform refused;
  refused.executable = u"";
  refused.stdout_refuses = true;
  EXPECT_EQ(registration::Register(refused), c_Failed);
}

TEST(RegistrationRun, TheFailureLineNamesTheKind) {
  EXPECT_EQ(FailureLine(std::bad_alloc()), u"OutOfMemory: std::bad_alloc\r\n");
  EXPECT_EQ(FailureLine(std::runtime_error("x")), u"Error: x\r\n");
}

}  // namespace
}  // namespace registration
