// A second Windows process for the end-to-end tests: it holds a file open
// without sharing, or just runs (copied as Revit.exe, it plays the host),
// until a release file appears.
//   test_helper hold FILE READY RELEASE
//   test_helper run READY RELEASE
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void Touch(const wchar_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

void WaitFor(const wchar_t* release) {
  for (int i = 0; i < 1200 && !Exists(release); ++i) Sleep(50);  // 60 s at most
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
  std::fputs("usage: test_helper hold FILE READY RELEASE | run READY RELEASE\n", stderr);
  return 1;
}
