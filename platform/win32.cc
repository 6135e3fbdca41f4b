// The platform on Windows: each operation through the Windows API function
// that the contract names.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>
// The contract has an operation of this name; the macro would rename it.
#undef CreateFile

#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

// The entry's size field must be the structure's size in this build: 556 in
// a 32-bit program, 568 in a 64-bit one. Windows refuses any other.
static_assert(sizeof(PROCESSENTRY32W) == (sizeof(void*) == 8 ? 568 : 556),
              "unexpected size of the process entry");

// Windows refuses such paths in a program that is not long-path aware; Wine
// does not, so the limit is held here as well, and the scan's depth bound
// is the same on both.
bool TooLong(const std::u16string& path) { return path.size() >= MAX_PATH; }

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string Text(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// Closes a handle when it goes out of scope.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

HANDLE OpenForReading(const std::u16string& path) {
  if (TooLong(path)) return INVALID_HANDLE_VALUE;
  return CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The process-list functions, looked up by name in kernel32 at first use.
struct Toolhelp {
  using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
  using Walk = BOOL(WINAPI*)(HANDLE, LPPROCESSENTRY32W);
  Snapshot create_snapshot = nullptr;
  Walk first = nullptr;
  Walk next = nullptr;

  static const Toolhelp& Get() {
    static const Toolhelp toolhelp = Load();
    return toolhelp;
  }

 private:
  static Toolhelp Load() {
    Toolhelp t;
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr) return t;
    t.create_snapshot = reinterpret_cast<Snapshot>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "CreateToolhelp32Snapshot")));
    t.first = reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(kernel32, "Process32FirstW")));
    t.next = reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(kernel32, "Process32NextW")));
    return t;
  }
};

class Win32Platform : public Platform {
 public:
  std::u16string CommandLine() override { return Text(GetCommandLineW()); }

  std::u16string OwnExecutablePath() override {
    // A longer path than the buffer is cut to fit; grow until it fits whole.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) return std::u16string();
      if (n < buffer.size() - 1) return Text(buffer.data());
      if (buffer.size() >= 0x10000) return std::u16string();
      buffer.resize(buffer.size() * 2);
    }
  }

  bool SpecialFolderPath(int csidl, std::u16string* path) override {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return false;
    *path = Text(buffer);
    return true;
  }

  uint32_t FileAttributes(const std::u16string& path) override {
    if (TooLong(path)) return kInvalidAttributes;
    return GetFileAttributesW(Wide(path));
  }

  bool CanOpenTarget(const std::u16string& path) override {
    return ScopedHandle(OpenForReading(path)).valid();
  }

  bool GetFolderId(const std::u16string& path, FolderId* id) override {
    ScopedHandle folder(OpenForReading(path));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info)) return false;
    id->volume = info.dwVolumeSerialNumber;
    id->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
  }

  void ListFolder(const std::u16string& pattern, const ListEntry& each) override {
    if (TooLong(pattern)) return;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(pattern), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    struct Closer {
      HANDLE find;
      ~Closer() { FindClose(find); }
    } closer{find};
    do {
      each(Text(data.cFileName), data.dwFileAttributes);
    } while (FindNextFileW(find, &data));
  }

  FileHandle CreateFile(const std::u16string& path) override {
    if (TooLong(path)) return kInvalidFile;
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(file);
  }

  bool WriteFile(FileHandle file, const char* data, uint32_t size, uint32_t* written) override {
    DWORD n = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(file), data, size, &n, nullptr)) return false;
    *written = n;
    return true;
  }

  bool FlushFile(FileHandle file) override { return FlushFileBuffers(reinterpret_cast<HANDLE>(file)) != 0; }

  bool CloseFile(FileHandle file) noexcept override { return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0; }

  bool MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    if (TooLong(from) || TooLong(to)) return false;
    return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool RemoveFile(const std::u16string& path) noexcept override {
    return !TooLong(path) && DeleteFileW(Wide(path)) != 0;
  }

  bool ToUtf8(const std::u16string& text, std::string* utf8) override {
    return Convert(CP_UTF8, text, utf8);
  }

  bool ListProcesses(const ProcessEntry& each) override {
    const Toolhelp& toolhelp = Toolhelp::Get();
    if (!toolhelp.create_snapshot || !toolhelp.first || !toolhelp.next) return false;
    ScopedHandle snapshot(toolhelp.create_snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = toolhelp.first(snapshot.get(), &entry); more;
         more = toolhelp.next(snapshot.get(), &entry)) {
      entry.szExeFile[MAX_PATH - 1] = L'\0';
      each(Text(entry.szExeFile));
    }
    return true;
  }

  bool WriteStdout(const std::u16string& text) override {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == INVALID_HANDLE_VALUE || out == nullptr) return false;
    const DWORD type = GetFileType(out);
    if (type == FILE_TYPE_UNKNOWN) return false;
    std::string bytes;
    if (!Convert(type == FILE_TYPE_CHAR ? GetConsoleOutputCP() : GetACP(), text, &bytes)) return false;
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      DWORD n = 0;
      if (!::WriteFile(out, data, static_cast<DWORD>(left), &n, nullptr) || n == 0) return false;
      data += n;
      left -= n;
    }
    return true;
  }

  [[noreturn]] void Exit(int code) override { ExitProcess(static_cast<UINT>(code)); }

 private:
  static bool Convert(UINT code_page, const std::u16string& text, std::string* out) {
    out->clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(code_page, 0, Wide(text), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    out->resize(n);
    return WideCharToMultiByte(code_page, 0, Wide(text), size, &(*out)[0], n, nullptr, nullptr) == n;
  }
};

}  // namespace

Platform& System() {
  static Win32Platform platform;
  return platform;
}

}  // namespace platform
