// The platform on POSIX systems, presenting the Windows model of the machine:
// "\" in paths, attribute words, "." and ".." in listings, the 260-unit path
// limit, and the exit code's low 8 bits as the exit status.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/platform.h"
#include "platform/unicode.h"

namespace platform {
namespace {

constexpr size_t kMaxPath = 260;

std::string ToNative(const std::u16string& path) {
  std::string out = NameToNative(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::u16string FromNative(const std::string& path) {
  std::u16string out = NameFromNative(path);
  for (char16_t& c : out) {
    if (c == u'/') c = u'\\';
  }
  return out;
}

bool TooLong(const std::u16string& path) { return path.size() >= kMaxPath; }

std::string ReadWhole(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool NeedsQuotes(const std::u16string& word) {
  if (word.empty()) return true;
  for (char16_t c : word) {
    if (c >= 0x01 && c <= 0x20) return true;
  }
  return false;
}

// A file without any write permission carries the read-only bit, also for
// root, who could write it anyway; so does one this user may not write.
bool IsReadOnly(const std::string& path, const struct stat& st) {
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0;
}

// The attribute word of an entry: `st` describes what it names (a link's
// target, when it is a link that resolves).
uint32_t AttributesOf(const std::string& name, const std::string& path, const struct stat& st,
                      bool is_link) {
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
  if (is_link) attributes |= kAttrReparsePoint;
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
  if (!S_ISDIR(st.st_mode) && IsReadOnly(path, st)) attributes |= kAttrReadOnly;
  return attributes;
}

std::string LastComponent(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.find_last_of('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

class PosixPlatform : public Platform {
 public:
  std::u16string CommandLine() override {
    const std::string raw = ReadWhole("/proc/self/cmdline");
    std::u16string line;
    size_t start = 0;
    while (start < raw.size()) {
      size_t end = raw.find('\0', start);
      if (end == std::string::npos) end = raw.size();
      const std::u16string word = Utf8ToUtf16(raw.substr(start, end - start));
      if (!line.empty()) line += u' ';
      line += NeedsQuotes(word) ? u"\"" + word + u"\"" : word;
      start = end + 1;
    }
    return line;
  }

  std::u16string OwnExecutablePath() override {
    std::string buffer(256, '\0');
    for (;;) {
      const ssize_t n = readlink("/proc/self/exe", &buffer[0], buffer.size());
      if (n < 0) return std::u16string();
      if (static_cast<size_t>(n) < buffer.size()) return FromNative(buffer.substr(0, n));
      buffer.resize(buffer.size() * 2);
    }
  }

  bool SpecialFolderPath(int csidl, std::u16string* path) override {
    const char* app_data = csidl == kCsidlAppData ? std::getenv("APPDATA") : nullptr;
    if (app_data == nullptr || *app_data == '\0') return false;
    const std::u16string found = FromNative(app_data);
    if (TooLong(found)) return false;
    *path = found;
    return true;
  }

  uint32_t FileAttributes(const std::u16string& path) override {
    if (TooLong(path)) return kInvalidAttributes;
    const std::string native = ToNative(path);
    struct stat st;
    if (lstat(native.c_str(), &st) != 0) return kInvalidAttributes;
    const bool is_link = S_ISLNK(st.st_mode);
    if (is_link && stat(native.c_str(), &st) != 0) st.st_mode = S_IFLNK;  // dangling
    return AttributesOf(LastComponent(native), native, st, is_link);
  }

  bool CanOpenTarget(const std::u16string& path) override {
    if (TooLong(path)) return false;
    const int fd = open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
    return true;
  }

  bool GetFolderId(const std::u16string& path, FolderId* id) override {
    struct stat st;
    if (TooLong(path) || stat(ToNative(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    id->volume = static_cast<uint64_t>(st.st_dev);
    id->index = static_cast<uint64_t>(st.st_ino);
    return true;
  }

  void ListFolder(const std::u16string& pattern, const ListEntry& each) override {
    if (TooLong(pattern) || pattern.size() < 2 || pattern.compare(pattern.size() - 2, 2, u"\\*") != 0) return;
    const std::string folder = ToNative(pattern.substr(0, pattern.size() - 1));
    const int dir_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) return;
    DIR* dir = fdopendir(dir_fd);
    if (dir == nullptr) {
      close(dir_fd);
      return;
    }
    struct Closer {
      DIR* dir;
      ~Closer() { closedir(dir); }
    } closer{dir};
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      each(NameFromNative(name), EntryAttributes(dir_fd, folder, name, entry->d_type));
    }
  }

  FileHandle CreateFile(const std::u16string& path) override {
    if (TooLong(path)) return kInvalidFile;
    const int fd = open(ToNative(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? kInvalidFile : fd;
  }

  bool WriteFile(FileHandle file, const char* data, uint32_t size, uint32_t* written) override {
    ssize_t n;
    do {
      n = write(static_cast<int>(file), data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return false;
    *written = static_cast<uint32_t>(n);
    return true;
  }

  bool FlushFile(FileHandle file) override { return fsync(static_cast<int>(file)) == 0; }

  bool CloseFile(FileHandle file) noexcept override { return close(static_cast<int>(file)) == 0; }

  bool MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    if (TooLong(from) || TooLong(to)) return false;
    const std::string target = ToNative(to);
    if (rename(ToNative(from).c_str(), target.c_str()) != 0) return false;
    // The rename is durable once the folder that holds the name is.
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
  }

  bool RemoveFile(const std::u16string& path) noexcept override {
    try {
      if (TooLong(path)) return false;
      const std::string native = ToNative(path);
      // Windows refuses to remove a file with the read-only bit.
      struct stat st;
      if (lstat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && IsReadOnly(native, st)) return false;
      return unlink(native.c_str()) == 0;
    } catch (...) {  // no memory for the native path
      return false;
    }
  }

  bool ToUtf8(const std::u16string& text, std::string* utf8) override {
    *utf8 = Utf16ToUtf8(text);
    return true;
  }

  bool ListProcesses(const ProcessEntry& each) override {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    struct Closer {
      DIR* dir;
      ~Closer() { closedir(dir); }
    } closer{proc};
    while (const dirent* entry = readdir(proc)) {
      const std::string pid = entry->d_name;
      if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
      each(NameFromNative(ExecutableName("/proc/" + pid)));
    }
    return true;
  }

  bool WriteStdout(const std::u16string& text) override {
    const std::string bytes = Utf16ToUtf8(text);
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
           std::fflush(stdout) == 0;
  }

  [[noreturn]] void Exit(int code) override { std::exit(code & 0xFF); }

 private:
  // The file name of a process's executable. Where its link can't be read
  // (another user's process, a kernel thread), the name the process goes by.
  static std::string ExecutableName(const std::string& proc) {
    char target[4096];
    const ssize_t n = readlink((proc + "/exe").c_str(), target, sizeof target);
    if (n > 0) {
      std::string path(target, n);
      // The link of a process whose executable was removed says so.
      const std::string deleted = " (deleted)";
      if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
        path.resize(path.size() - deleted.size());
      }
      return LastComponent(path);
    }
    std::string name = ReadWhole((proc + "/comm").c_str());
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
  }

  static uint32_t EntryAttributes(int dir_fd, const std::string& folder, const std::string& name,
                                  unsigned char type) {
    const std::string path = folder + name;
    struct stat st;
    // The listing tells a plain folder's type; only others need a look.
    if (type == DT_DIR) {
      st.st_mode = S_IFDIR;
      return AttributesOf(name, path, st, false);
    }
    if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    const bool is_link = S_ISLNK(st.st_mode);
    if (is_link && fstatat(dir_fd, name.c_str(), &st, 0) != 0) st.st_mode = S_IFLNK;
    return AttributesOf(name, path, st, is_link);
  }
};

}  // namespace

Platform& System() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace platform
