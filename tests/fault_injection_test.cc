// Every platform call, and every allocation, of a representative run made to
// fail in turn; after each run the invariants of the program must hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <new>

#include "registration/constants.h"
#include "registration/run.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace {

// The allocation countdown: when it reaches zero, operator new throws once.
long g_allocations_left = -1;
long g_allocations = 0;

}  // namespace

// These replace the global operators, so malloc and free pair up here; GCC
// can't see that and warns of a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  ++g_allocations;
  if (g_allocations_left > 0 && --g_allocations_left == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using fake::Call;
using fake::Failure;
using fake::FakePlatform;

const std::u16string kAddins = u"C:\\Users\\user\\AppData\\Roaming\\Autodesk\\Revit\\Addins";

void Build(FakePlatform& os) {
  for (const char16_t* f : {u"\\2021", u"\\Vendor\\2022", u"\\2023\\2024", u"\\Other\\Deep\\2026"}) {
    os.AddFolder(kAddins + f);
  }
  os.AddFolder(kAddins + u"\\Hidden", platform::kAttrHidden);
  os.AddFolder(kAddins + u"\\Hidden\\2025");
  os.AddFile(kAddins + u"\\2021\\Other.addin", "other");
  os.AddLink(kAddins + u"\\Vendor\\Back", kAddins);  // makes the scan tell folders apart
  os.command_line = u"k \"C:\\K\u00f6rvane\\K.dll\" C:\\K\\i.png \"B\u00e9 \U0001F600\" \"D & <d>\"";
  os.processes = {u"explorer.exe"};
}

struct Outcome {
  int32_t code;
  std::map<std::u16string, std::string> files;
};

// The files of the scenario after a clean run: its manifests, and the rest.
const Outcome& Clean() {
  static const Outcome clean = [] {
    FakePlatform os;
    Build(os);
    Outcome o{registration::Register(os), {}};
    for (const std::u16string& f : os.Files()) o.files[f] = os.Read(f);
    return o;
  }();
  return clean;
}

// The invariants that hold whatever failed.
void CheckInvariants(FakePlatform& os, int32_t code) {
  const Outcome& clean = Clean();
  EXPECT_EQ(os.open_files(), 0);
  // Nothing but the manifests is written, and each one is whole.
  for (const std::u16string& f : os.Files()) {
    ASSERT_TRUE(clean.files.count(f)) << "unexpected file " << N(f);
    EXPECT_EQ(os.Read(f), clean.files.at(f)) << N(f);
  }
  // A failed write is reported; success means every manifest tried is there.
  bool missing = false;
  for (const std::u16string& f : os.create_attempts) missing = missing || !os.Exists(f);
  if (code == 0 || code == registration::c_RevitRuns || code == registration::c_NoProperFolder) {
    EXPECT_FALSE(missing);
  }
  if (missing && code != registration::c_Failed) {
    EXPECT_EQ(code, registration::c_CouldNotWriteFile);
  }
  // At most one line, and one only for an unexpected failure.
  const size_t breaks = std::count(os.stdout_text.begin(), os.stdout_text.end(), u'\n');
  EXPECT_LE(breaks, 1u);
  if (breaks == 1) {
    EXPECT_TRUE(code == registration::c_Failed || code == registration::c_CouldNotWriteFile);
  }
}

TEST(FaultInjection, TheCleanRunWritesEveryVersionFolder) {
  EXPECT_EQ(Clean().code, 0);
  EXPECT_EQ(Clean().files.size(), 6u);  // five manifests and the other file
}

TEST(FaultInjection, EveryPlatformCallFailsInEachOfItsWays) {
  FakePlatform probe;
  Build(probe);
  registration::Register(probe);
  const std::vector<Call> calls = probe.calls();
  int runs = 0;
  for (size_t k = 1; k <= calls.size(); ++k) {
    std::vector<Failure> ways = {Failure::kFail};
    if (calls[k - 1] == Call::kWrite) ways = {Failure::kFail, Failure::kTakeNothing, Failure::kTakePart};
    for (Failure way : ways) {
      SCOPED_TRACE("call " + std::to_string(k) + " way " + std::to_string(static_cast<int>(way)));
      FakePlatform os;
      Build(os);
      os.FailCall(static_cast<int>(k), way);
      CheckInvariants(os, registration::Register(os));
      ++runs;
    }
  }
  std::printf("platform calls: %zu, failing runs: %d\n", calls.size(), runs);
}

TEST(FaultInjection, EveryAllocationFailsInTurn) {
  g_allocations = 0;
  {
    FakePlatform probe;
    Build(probe);
    const long before = g_allocations;
    registration::Register(probe);
    g_allocations = g_allocations - before;
  }
  const long total = g_allocations;
  for (long k = 1; k <= total; ++k) {
    SCOPED_TRACE("allocation " + std::to_string(k));
    FakePlatform os;
    Build(os);
    g_allocations_left = k;
    const int32_t code = registration::Register(os);
    const bool failed = g_allocations_left == 0;
    g_allocations_left = -1;
    ASSERT_TRUE(failed) << "the allocation was never made";
    // Inside one manifest's write it fails that write alone; anywhere else it
    // stops the run with one line.
    if (os.stdout_text.empty()) {
      EXPECT_EQ(code, registration::c_CouldNotWriteFile);
    } else {
      EXPECT_TRUE(code == registration::c_Failed || code == registration::c_CouldNotWriteFile) << code;
      EXPECT_EQ(os.stdout_text.substr(0, 13), u"OutOfMemory: ");
    }
    CheckInvariants(os, code);
  }
  std::printf("allocations: %ld, each failed once\n", total);
}

}  // namespace
