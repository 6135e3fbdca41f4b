// A second Windows process for the end-to-end tests: it holds a file open
// without sharing, or just runs (copied as Revit.exe, it plays the host),
// until a release file appears; or it starts a program with a command line
// written exactly as a Windows caller writes it, which a POSIX caller can't
// hand through Wine unchanged, and ends with that program's exit code.
//   test_helper hold FILE READY RELEASE
//   test_helper run READY RELEASE
//   test_helper spawn FILE   (FILE holds the command line, in UTF-8)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void Touch(const wchar_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

void WaitFor(const wchar_t* release) {
  for (int i = 0; i < 1200 && !Exists(release); ++i) Sleep(50);  // 60 s at most
}

int Spawn(const wchar_t* file) {
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) return 2;
  const std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring line(static_cast<size_t>(n) + 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &line[0], n);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && std::wcscmp(argv[1], L"hold") == 0) {
    HANDLE h = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    Touch(argv[3]);
    WaitFor(argv[4]);
    CloseHandle(h);
    return 0;
  }
  if (argc == 4 && std::wcscmp(argv[1], L"run") == 0) {
    Touch(argv[2]);
    WaitFor(argv[3]);
    return 0;
  }
  if (argc == 3 && std::wcscmp(argv[1], L"spawn") == 0) return Spawn(argv[2]);
  std::fputs("usage: test_helper hold FILE READY RELEASE | run READY RELEASE | spawn FILE\n", stderr);
  return 1;
}
