// The floor of walking a tree on Windows: every folder below the root listed
// once with FindFirstFileW, and nothing else done.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

long Walk(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  std::vector<std::wstring> subs;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (std::wcscmp(entry.cFileName, L".") == 0 || std::wcscmp(entry.cFileName, L"..") == 0) continue;
    subs.push_back(folder + L"\\" + entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  long count = 0;
  for (const std::wstring& sub : subs) count += 1 + Walk(sub);
  return count;
}

}  // namespace

// walk_folders ROOT: ends with 0 when it found a folder below ROOT.
int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  return Walk(argv[1]) > 0 ? 0 : 1;
}
