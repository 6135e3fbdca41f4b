// The whole contract between the registration and the operating system.
//
// The registration works on the Windows model of a machine: UTF-16 text,
// paths with "\" between components, attribute words, a process list. Each
// platform file implements this interface for one system and is picked by
// the build at link time (win32.cc ships; posix.cc lets the same program run
// natively; the tests add an in-memory fake). No system header is seen here.
//
// Rules that hold for every operation:
// - No operation throws, except std::bad_alloc when memory runs out; closing
//   and removing a file never throw, so that cleanup always runs.
// - A path of 260 code units or more (MAX_PATH with its NUL) is refused by
//   every operation that takes one, as Windows refuses it.
// - After a failure nothing has changed that the caller can see, unless the
//   operation says otherwise (a write may have taken some bytes).
#ifndef KORVANE_PLATFORM_PLATFORM_H_
#define KORVANE_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Attribute bits, as Windows reports them.
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;
constexpr uint32_t kAttrSystem = 0x4;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrReparsePoint = 0x400;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// The special folder of the current user's roaming application data.
constexpr int kCsidlAppData = 26;

// An open file; only CreateFile makes one that is valid.
using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

// What tells one folder from another, whatever path leads to it: volume
// serial and file index on Windows, device and inode on POSIX.
struct FolderId {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator<(const FolderId& o) const {
    return volume != o.volume ? volume < o.volume : index < o.index;
  }
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The whole command line as one text, the program's name first.
  virtual std::u16string CommandLine() = 0;

  // The full path of the running executable, read whole however long it is;
  // the empty text on failure.
  virtual std::u16string OwnExecutablePath() = 0;

  // The path of the shell folder with this CSIDL, without creating it.
  // False, with *path untouched, when the platform can't tell it.
  virtual bool SpecialFolderPath(int csidl, std::u16string* path) = 0;

  // The attribute word of a path, or kInvalidAttributes on any failure.
  virtual uint32_t FileAttributes(const std::u16string& path) = 0;

  // Whether the object a path names (a link's target, when it is a link)
  // opens for reading as an existing object; folders open too.
  virtual bool CanOpenTarget(const std::u16string& path) = 0;

  // The identity of the folder a path names, links followed. False when it
  // can't be read.
  virtual bool GetFolderId(const std::u16string& path, FolderId* id) = 0;

  // Hands every entry that matches the pattern (a folder, "\", then "*") to
  // `each`, with its name and attribute word, in the platform's order; "."
  // and ".." included where the system yields them. Hidden and system
  // entries are handed over too. Any failure ends the listing; a folder that
  // can't be listed yields nothing. The listing is closed on every path,
  // also when `each` throws.
  using ListEntry = std::function<void(const std::u16string& name, uint32_t attributes)>;
  virtual void ListFolder(const std::u16string& pattern, const ListEntry& each) = 0;

  // Creates the file, or cuts an existing one to length 0, for reading and
  // writing with no sharing and normal attributes; creates no folder.
  // kInvalidFile on failure (missing folder, read-only, hidden or system
  // file, a folder, a file another process holds open), the file untouched.
  virtual FileHandle CreateFile(const std::u16string& path) = 0;

  // Writes up to `size` bytes at the file's end; *written tells how many were
  // taken, which may be fewer, or none. False on failure.
  virtual bool WriteFile(FileHandle file, const char* data, uint32_t size,
                         uint32_t* written) = 0;

  // Makes everything written to the file durable: it returns once the bytes
  // are on the disk. False on failure.
  virtual bool FlushFile(FileHandle file) = 0;

  // Closes the file; the handle is gone whatever the result. False when the
  // system reports a failure of the close.
  virtual bool CloseFile(FileHandle file) noexcept = 0;

  // Puts the closed file `from` in place of `to`, in the same folder, in one
  // atomic step that replaces a file already there: at every instant `to`
  // names the old file whole or the new one whole. Returns once the change is
  // on the disk. False, with both untouched, when it can't: `to` is a folder,
  // another process holds it open (Windows), or `from` is missing; when only
  // making it durable failed, `to` may already name the new file. It does
  // not refuse a hidden or system file, and, as root, a read-only one.
  virtual bool MoveReplacing(const std::u16string& from, const std::u16string& to) = 0;

  // Removes a file that is not open and not read-only. False on failure (a
  // folder, a missing file, one held open, a read-only one).
  virtual bool RemoveFile(const std::u16string& path) noexcept = 0;

  // Standard UTF-8; an unpaired surrogate becomes U+FFFD. False on failure.
  virtual bool ToUtf8(const std::u16string& text, std::string* utf8) = 0;

  // Hands the executable text of every process that runs now to `each`,
  // from the first to the last. False, with nothing handed over, when no
  // snapshot of the processes can be taken.
  using ProcessEntry = std::function<void(const std::u16string& executable)>;
  virtual bool ListProcesses(const ProcessEntry& each) = 0;

  // Writes text to standard output, converted to the console's code page
  // (a console) or the system's ANSI code page (a file or pipe; UTF-8 on
  // POSIX). False when there is no standard output or it refuses the text.
  virtual bool WriteStdout(const std::u16string& text) = 0;

  // Ends the process with this exit code.
  [[noreturn]] virtual void Exit(int code) = 0;
};

// The platform of the machine the program was built for.
Platform& System();

}  // namespace platform

#endif  // KORVANE_PLATFORM_PLATFORM_H_
