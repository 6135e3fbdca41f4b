// An in-memory machine for the tests: a small file tree with Windows
// attributes and links, a process table, standard output, and a countdown
// that makes a chosen platform call fail.
#ifndef KORVANE_TESTS_FAKE_PLATFORM_H_
#define KORVANE_TESTS_FAKE_PLATFORM_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// The kinds of platform call, as the countdown counts them. A listing counts
// once when it opens and once for every entry it yields.
enum class Call {
  kCommandLine, kOwnExecutable, kSpecialFolder, kAttributes, kOpenTarget, kFolderId,
  kListOpen, kListEntry, kCreate, kWrite, kFlush, kClose, kMove, kRemove, kToUtf8, kProcesses,
  kStdout,
};

// How a failing call fails: every call can simply fail (a listing then ends);
// a write can also take nothing, or only part of what it was offered.
enum class Failure { kFail, kTakeNothing, kTakePart };

struct ExitCalled {
  int code;
};

// Thrown by the first call after the process died (see CrashAfterCall); the
// program's handlers catch only std::exception, so it unwinds to the test.
struct Crashed {};

class FakePlatform : public platform::Platform {
 public:
  FakePlatform();
  ~FakePlatform() override;

  // The tree. Paths are Windows paths ("C:\a\b"), compared without regard to
  // ASCII case; missing parents are made as plain folders.
  void AddFolder(const std::u16string& path, uint32_t attributes = 0);
  void AddFile(const std::u16string& path, const std::string& bytes, uint32_t attributes = 0);
  // A folder link (a junction) to `target`, which may be missing.
  void AddLink(const std::u16string& path, const std::u16string& target);
  // Another process holds the file open without sharing.
  void HoldOpen(const std::u16string& path);
  bool Exists(const std::u16string& path);
  std::string Read(const std::u16string& path);
  // Every file's path, in tree order.
  std::vector<std::u16string> Files();

  // The machine's state that tests set and read.
  std::u16string command_line = u"C:\\Setup\\korvane-register.exe";
  std::u16string executable = u"C:\\Setup\\korvane-register.exe";
  bool app_data_known = true;
  std::u16string app_data = u"C:\\Users\\user\\AppData\\Roaming";
  bool snapshot_available = true;
  std::vector<std::u16string> processes;
  bool stdout_refuses = false;
  std::u16string stdout_text;
  uint32_t write_cap = UINT32_MAX;  // the most bytes one write takes
  std::set<int> zero_writes;        // the writes (from 1) that take nothing
  uint64_t disk_free = UINT64_MAX;  // a write that does not fit fails
  std::vector<std::u16string> create_attempts;  // every path a create was asked for
  std::vector<std::u16string> remove_attempts;  // ... and a removal
  int open_files() const { return static_cast<int>(handles_.size()); }

  // The countdown: call number k (from 1) fails in the given way.
  void FailCall(int k, Failure way = Failure::kFail) {
    fail_at_ = k;
    fail_way_ = way;
  }
  const std::vector<Call>& calls() const { return calls_; }

  // The crash mode: the process dies right after call k (from 1). Every file
  // stays as it stands then; no later call, cleanup included, reaches them.
  // With `power_lost` the machine stops instead: what was written to a file
  // and not yet flushed is lost as well.
  void CrashAfterCall(int k, bool power_lost = false) {
    crash_after_ = k;
    power_lost_ = power_lost;
  }
  bool crashed() const { return crashed_; }
  // The machine starts again after a crash: the dead process's handles are
  // gone, and no call fails any more.
  void Restart();

  // platform::Platform
  std::u16string CommandLine() override;
  std::u16string OwnExecutablePath() override;
  bool SpecialFolderPath(int csidl, std::u16string* path) override;
  uint32_t FileAttributes(const std::u16string& path) override;
  bool CanOpenTarget(const std::u16string& path) override;
  bool GetFolderId(const std::u16string& path, platform::FolderId* id) override;
  void ListFolder(const std::u16string& pattern, const ListEntry& each) override;
  platform::FileHandle CreateFile(const std::u16string& path) override;
  bool WriteFile(platform::FileHandle file, const char* data, uint32_t size,
                 uint32_t* written) override;
  bool FlushFile(platform::FileHandle file) override;
  bool CloseFile(platform::FileHandle file) noexcept override;
  bool MoveReplacing(const std::u16string& from, const std::u16string& to) override;
  bool RemoveFile(const std::u16string& path) noexcept override;
  bool ToUtf8(const std::u16string& text, std::string* utf8) override;
  bool ListProcesses(const ProcessEntry& each) override;
  bool WriteStdout(const std::u16string& text) override;
  [[noreturn]] void Exit(int code) override;

 private:
  struct Node;
  Node* Find(const std::u16string& path, bool follow_last, int depth = 0);
  Node* Make(const std::u16string& path, bool folder, uint32_t attributes);
  bool Fails(Call call);
  void Die();
  Node* Parent(const std::u16string& path);
  bool InUse(const Node* file) const;
  bool Remove(const std::u16string& path);

  std::unique_ptr<Node> top_;
  uint64_t next_id_ = 1;
  std::map<platform::FileHandle, Node*> handles_;
  platform::FileHandle next_handle_ = 100;
  int writes_ = 0;
  int fail_at_ = 0;
  Failure fail_way_ = Failure::kFail;
  Failure current_way_ = Failure::kFail;
  std::vector<Call> calls_;
  int crash_after_ = -1;
  bool power_lost_ = false;
  bool crashed_ = false;
};

}  // namespace fake

#endif  // KORVANE_TESTS_FAKE_PLATFORM_H_
