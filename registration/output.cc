#include "registration/output.h"

#include <exception>

#include "registration/constants.h"
#include "registration/manifest.h"

namespace registration {

using platform::Platform;

void SplitLines(const std::u16string& text, std::vector<std::u16string>& wSL) {
  wSL.clear();
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    wSL.push_back(text.substr(start, i - start));
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) wSL.push_back(text.substr(start));
}

namespace {

// The file being written: closed on every path, and removed unless the whole
// manifest reached it, so that a folder never keeps a partial one.
class ManifestFile {
 public:
  ManifestFile(Platform& os, std::u16string path)
      : os_(os), path_(std::move(path)), handle_(os.CreateFile(path_)) {}
  ManifestFile(const ManifestFile&) = delete;
  ManifestFile& operator=(const ManifestFile&) = delete;
  ~ManifestFile() {
    if (!is_open()) return;
    os_.CloseFile(handle_);
    os_.RemoveFile(path_);
  }

  bool is_open() const { return handle_ != platform::kInvalidFile; }

  // A short write goes on with the rest; a first write that takes nothing is
  // tried once more, and any later one that takes nothing fails.
  bool WriteAll(const char* data, size_t size) {
    bool first = true;
    bool retried = false;
    while (size > 0) {
      const uint32_t chunk = size > 0x40000000 ? 0x40000000 : static_cast<uint32_t>(size);
      uint32_t written = 0;
      if (!os_.WriteFile(handle_, data, chunk, &written) || written > chunk) return false;
      if (written == 0) {
        if (!first || retried) return false;
        retried = true;
        continue;
      }
      first = false;
      data += written;
      size -= written;
    }
    return true;
  }

  // Closes the file; it stays only when the close succeeds.
  bool Commit() {
    const platform::FileHandle handle = handle_;
    handle_ = platform::kInvalidFile;
    if (os_.CloseFile(handle)) return true;
    os_.RemoveFile(path_);
    return false;
  }

 private:
  Platform& os_;
  const std::u16string path_;
  platform::FileHandle handle_;
};

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

bool WriteManifest(Platform& os, const std::u16string& F, const std::u16string& wManiFest,
                   std::vector<std::u16string>& wSL) {
  SplitLines(wManiFest, wSL);
  ManifestFile file(os, F + c_ManifestName);
  if (!file.is_open()) return false;
  std::u16string joined;
  for (const std::u16string& line : wSL) {
    joined += line;
    joined += u"\r\n";
  }
  std::string utf8;
  if (!os.ToUtf8(joined, &utf8)) return false;
  if (!file.WriteAll(kByteOrderMark, 3) || !file.WriteAll(utf8.data(), utf8.size())) return false;
  return file.Commit();
}

bool WriteVersionManifest(Platform& os, const std::u16string& F, const std::u16string& wManifestBase,
                          const std::u16string& wDLLPath, int32_t version,
                          std::vector<std::u16string>& wSL) {
  try {
    return WriteManifest(os, F, FillAssemblyPath(wManifestBase, wDLLPath, version), wSL);
  } catch (const std::exception&) {
    return false;
  }
}

Removal RemoveManifest(Platform& os, const std::u16string& F) {
  try {
    const std::u16string path = F + c_ManifestName;
    const uint32_t attributes = os.FileAttributes(path);
    if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrDirectory)) {
      return Removal::kNothingThere;
    }
    return os.RemoveFile(path) ? Removal::kRemoved : Removal::kFailed;
  } catch (const std::exception&) {
    return Removal::kFailed;
  }
}

}  // namespace registration
