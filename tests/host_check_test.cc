#include "registration/host_check.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace registration {
namespace {

TEST(ProcessExists, MatchesTheWholeTextOrItsFileNamePart) {
  struct Case {
    std::u16string wanted;
    std::u16string running;
    bool found;
  };
  const Case cases[] = {
      {u"Revit.exe", u"Revit.exe", true},
      {u"Revit.exe", u"REVIT.EXE", true},
      {u"Revit.exe", u"revit.exe", true},
      {u"Revit.exe", u"C:\\Program Files\\Autodesk\\Revit 2024\\Revit.exe", true},
      {u"Revit.exe", u"C:Revit.exe", true},
      {u"Revit.exe", u"C:/Autodesk/Revit.exe", false},
      {u"Revit.exe", u"MyRevit.exe", false},
      {u"Revit.exe", u"Revit.exe.old", false},
      {u"Revit.exe", u"Revit.exe ", false},
      {u"Revit.exe", u"", false},
      {u"C:\\R\\Revit.exe", u"c:\\r\\revit.exe", true},
      {u"R\u00C9vit.exe", u"r\u00C9vit.exe", true},
      {u"R\u00C9vit.exe", u"R\u00E9vit.exe", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(N(c.running));
    fake::FakePlatform os;
    os.processes = {u"System", c.running, u"explorer.exe"};
    EXPECT_EQ(ProcessExists(os, c.wanted), c.found);
  }
}

TEST(ProcessExists, TwoHostsAreTheSameAsOneAndNoSnapshotIsNone) {
  fake::FakePlatform os;
  os.processes = {u"Revit.exe", u"x.exe", u"Revit.exe"};
  EXPECT_TRUE(ProcessExists(os, u"Revit.exe"));
  os.snapshot_available = false;
  EXPECT_FALSE(ProcessExists(os, u"Revit.exe"));
}

}  // namespace
}  // namespace registration
