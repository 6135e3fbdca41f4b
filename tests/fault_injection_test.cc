// Every platform call, and every allocation, of a representative run made to
// fail in turn; after each run the invariants of the program must hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
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
using Files = std::map<std::u16string, std::string>;

const std::u16string kAddins = u"C:\\Users\\user\\AppData\\Roaming\\Autodesk\\Revit\\Addins";
const std::u16string kName = u"\\ExportToKorvane.addin";
const char16_t* const kVersionFolders[] = {u"\\2021", u"\\Vendor\\2022", u"\\2023\\2024", u"\\2023",
                                           u"\\Other\\Deep\\2026"};

// Five version folders, two with an old manifest, a hidden one, a link back
// to the root, another file beside a manifest, and four arguments with
// non-ASCII and XML-special text.
void Build(FakePlatform& os) {
  for (const char16_t* f : kVersionFolders) os.AddFolder(kAddins + f);
  os.AddFile(kAddins + u"\\2023" + kName, "an old manifest");
  os.AddFile(kAddins + u"\\Other\\Deep\\2026" + kName, std::string(3000, 'o'));
  os.AddFolder(kAddins + u"\\Hidden", platform::kAttrHidden);
  os.AddFolder(kAddins + u"\\Hidden\\2025");
  os.AddFile(kAddins + u"\\2021\\Other.addin", "other");
  os.AddLink(kAddins + u"\\Vendor\\Back", kAddins);  // makes the scan tell folders apart
  os.command_line = u"k \"C:\\K\u00f6rvane\\K.dll\" C:\\K\\i.png \"B\u00e9 \U0001F600\" \"D & <d>\"";
  os.processes = {u"explorer.exe"};
}

Files Snapshot(FakePlatform& os) {
  Files files;
  for (const std::u16string& f : os.Files()) files[f] = os.Read(f);
  return files;
}

// The files before any run, and after a clean registration.
const Files& Before() {
  static const Files before = [] {
    FakePlatform os;
    Build(os);
    return Snapshot(os);
  }();
  return before;
}
const Files& Registered() {
  static const Files registered = [] {
    FakePlatform os;
    Build(os);
    EXPECT_EQ(registration::Register(os), 0);
    return Snapshot(os);
  }();
  return registered;
}

bool IsManifest(const std::u16string& path) {
  for (const char16_t* f : kVersionFolders) {
    if (path == kAddins + f + kName) return true;
  }
  return false;
}

// Whether `path` stands in `now` as in `as`: with the same bytes, or absent
// from both.
bool Holds(const Files& now, const Files& as, const std::u16string& path) {
  const auto a = now.find(path);
  const auto b = as.find(path);
  return a == now.end() || b == as.end() ? (a == now.end()) == (b == as.end()) : a->second == b->second;
}

// Every manifest holds its old bytes whole or its new ones whole (a folder
// without one before may have none); every other file is as it was, apart
// from new manifests left by a dead process when `temporaries` allows.
void CheckWhole(FakePlatform& os, bool temporaries) {
  const Files now = Snapshot(os);
  for (const char16_t* f : kVersionFolders) {
    const std::u16string path = kAddins + f + kName;
    EXPECT_TRUE(Holds(now, Before(), path) || Holds(now, Registered(), path)) << N(path);
  }
  for (const auto& [path, bytes] : now) {
    if (IsManifest(path)) continue;
    if (temporaries && path.size() > 4 && path.substr(path.size() - 4) == u".tmp") continue;
    const auto before = Before().find(path);
    if (before == Before().end()) {
      ADD_FAILURE() << "unexpected file " << N(path);
      continue;
    }
    EXPECT_EQ(bytes, before->second) << N(path);
  }
}

// The manifests a run set out to change: those whose new file it tried to
// create, or that it tried to remove. A scan that can't tell folders apart
// descends through the link back to the root, and reaches the same
// manifests by longer paths.
std::set<std::u16string> Attempted(const FakePlatform& os) {
  const auto canonical = [](std::u16string path) {
    const std::u16string link = u"\\Vendor\\Back";
    for (size_t at; (at = path.find(link)) != std::u16string::npos;) path.erase(at, link.size());
    return path;
  };
  std::set<std::u16string> attempted;
  for (const std::u16string& f : os.create_attempts) {
    attempted.insert(canonical(f.substr(0, f.find_last_of(u'\\')) + kName));
  }
  for (const std::u16string& f : os.remove_attempts) attempted.insert(canonical(f));
  return attempted;
}

// What a run that ended may report: success only when every manifest it set
// out to change is changed; otherwise -1, or 1 after an unexpected failure.
// No other manifest is touched. At most one line, and one only for an
// unexpected failure.
void CheckReport(FakePlatform& os, int32_t code, const Files& before, const Files& done) {
  EXPECT_EQ(os.open_files(), 0);
  const std::set<std::u16string> attempted = Attempted(os);
  const Files now = Snapshot(os);
  bool all_done = true;
  for (const char16_t* f : kVersionFolders) {
    const std::u16string path = kAddins + f + kName;
    EXPECT_TRUE(attempted.count(path) || Holds(now, before, path)) << N(path);
    all_done = all_done && (!attempted.count(path) || Holds(now, done, path));
  }
  if (code == 0 || code == registration::c_RevitRuns || code == registration::c_NoProperFolder) {
    EXPECT_TRUE(all_done);
  }
  if (!all_done) {
    EXPECT_TRUE(code == registration::c_CouldNotWriteFile || code == registration::c_Failed) << code;
  }
  const size_t breaks = std::count(os.stdout_text.begin(), os.stdout_text.end(), u'\n');
  EXPECT_LE(breaks, 1u);
  if (breaks == 1) {
    EXPECT_TRUE(code == registration::c_Failed || code == registration::c_CouldNotWriteFile);
  }
}

void CheckRegistration(FakePlatform& os, int32_t code) {
  CheckWhole(os, false);
  CheckReport(os, code, Before(), Registered());
}

// Removal: every file but the manifests is untouched, and each manifest is
// there as registered, or gone.
void CheckRemoval(FakePlatform& os, int32_t code) {
  Files gone = Registered();
  for (const char16_t* f : kVersionFolders) gone.erase(kAddins + f + kName);
  const Files now = Snapshot(os);
  for (const auto& [path, bytes] : now) {
    const auto registered = Registered().find(path);
    if (registered == Registered().end()) {
      ADD_FAILURE() << "unexpected file " << N(path);
      continue;
    }
    EXPECT_EQ(bytes, registered->second) << N(path);
  }
  for (const auto& [path, bytes] : gone) EXPECT_TRUE(now.count(path)) << N(path);
  CheckReport(os, code, Registered(), gone);
}

void MakeRegistered(FakePlatform& os) {
  Build(os);
  for (const auto& [path, bytes] : Registered()) os.AddFile(path, bytes);
  os.command_line = u"korvane-unregister";
}

struct Program {
  const char* name;
  int32_t (*run)(platform::Platform&);
  void (*make)(FakePlatform&);
  void (*check)(FakePlatform&, int32_t);
};
const Program kPrograms[] = {
    {"register", registration::Register, Build, CheckRegistration},
    {"unregister", registration::Unregister, MakeRegistered, CheckRemoval},
};

TEST(FaultInjection, TheCleanRunsWriteAndRemoveEveryManifest) {
  EXPECT_EQ(Registered().size(), 6u);  // five manifests, the other file, and no more
  FakePlatform os;
  MakeRegistered(os);
  EXPECT_EQ(registration::Unregister(os), 0);
  EXPECT_EQ(Snapshot(os).size(), 1u);
}

std::vector<Call> CallsOfACleanRun(const Program& program) {
  FakePlatform probe;
  program.make(probe);
  program.run(probe);
  return probe.calls();
}

TEST(FaultInjection, EveryPlatformCallFailsInEachOfItsWays) {
  for (const Program& program : kPrograms) {
    const std::vector<Call> calls = CallsOfACleanRun(program);
    int runs = 0;
    for (size_t k = 1; k <= calls.size(); ++k) {
      std::vector<Failure> ways = {Failure::kFail};
      if (calls[k - 1] == Call::kWrite) ways = {Failure::kFail, Failure::kTakeNothing, Failure::kTakePart};
      for (Failure way : ways) {
        SCOPED_TRACE(std::string(program.name) + ": call " + std::to_string(k) + " way " +
                     std::to_string(static_cast<int>(way)));
        FakePlatform os;
        program.make(os);
        os.FailCall(static_cast<int>(k), way);
        program.check(os, program.run(os));
        ++runs;
      }
    }
    std::printf("%s: platform calls: %zu, failing runs: %d\n", program.name, calls.size(), runs);
  }
}

TEST(FaultInjection, TheProcessDiesOrTheMachineStopsAfterEveryCall) {
  const std::vector<Call> calls = CallsOfACleanRun(kPrograms[0]);
  int crashes = 0;
  for (size_t k = 0; k <= calls.size(); ++k) {
    for (bool power_lost : {false, true}) {
      SCOPED_TRACE("after call " + std::to_string(k) + (power_lost ? ", power lost" : ", killed"));
      FakePlatform os;
      Build(os);
      os.CrashAfterCall(static_cast<int>(k), power_lost);
      try {
        registration::Register(os);
      } catch (const fake::Crashed&) {
      }
      EXPECT_EQ(os.crashed(), k < calls.size());
      CheckWhole(os, true);
      // The next run finds whatever the dead one left and does the whole job.
      os.Restart();
      EXPECT_EQ(registration::Register(os), 0);
      EXPECT_EQ(Snapshot(os), Registered());
      ++crashes;
    }
  }
  std::printf("crash points: %zu calls, %d crashes (killed and power lost after each)\n", calls.size(),
              crashes);
}

TEST(FaultInjection, EveryAllocationFailsInTurn) {
  for (const Program& program : kPrograms) {
    g_allocations = 0;
    {
      FakePlatform probe;
      program.make(probe);
      const long before = g_allocations;
      program.run(probe);
      g_allocations = g_allocations - before;
    }
    const long total = g_allocations;
    for (long k = 1; k <= total; ++k) {
      SCOPED_TRACE(std::string(program.name) + ": allocation " + std::to_string(k));
      FakePlatform os;
      program.make(os);
      g_allocations_left = k;
      const int32_t code = program.run(os);
      const bool failed = g_allocations_left == 0;
      g_allocations_left = -1;
      ASSERT_TRUE(failed) << "the allocation was never made";
      // Inside one manifest's write or removal it fails that one alone;
      // anywhere else it stops the run with one line.
      if (os.stdout_text.empty()) {
        EXPECT_EQ(code, registration::c_CouldNotWriteFile);
      } else {
        EXPECT_TRUE(code == registration::c_Failed || code == registration::c_CouldNotWriteFile) << code;
        EXPECT_EQ(os.stdout_text.substr(0, 13), u"OutOfMemory: ");
      }
      program.check(os, code);
    }
    std::printf("%s: allocations: %ld, each failed once\n", program.name, total);
  }
}

}  // namespace
