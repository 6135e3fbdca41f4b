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

// The new manifest while it is written: a file beside the manifest under a
// name the host never reads (it reads only names ending in ".addin"). It is
// closed on every path and removed unless it took the manifest's place, so
// that the folder keeps its old manifest whole until the new one is whole.
class NewManifestFile {
 public:
  NewManifestFile(Platform& os, std::u16string path)
      : os_(os), path_(std::move(path)), handle_(os.CreateFile(path_)), created_(is_open()) {}
  NewManifestFile(const NewManifestFile&) = delete;
  NewManifestFile& operator=(const NewManifestFile&) = delete;
  ~NewManifestFile() {
    if (is_open()) os_.CloseFile(handle_);
    if (created_ && !placed_) os_.RemoveFile(path_);
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

  // Flushes and closes the file, then puts it in place of `manifest`.
  bool PlaceAs(const std::u16string& manifest) {
    if (!os_.FlushFile(handle_)) return false;
    const platform::FileHandle handle = handle_;
    handle_ = platform::kInvalidFile;
    if (!os_.CloseFile(handle)) return false;
    placed_ = os_.MoveReplacing(path_, manifest);
    return placed_;
  }

 private:
  Platform& os_;
  const std::u16string path_;
  platform::FileHandle handle_;
  const bool created_;
  bool placed_ = false;
};

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// An existing manifest that the create of a file in its place would refuse,
// and the rename would not: read-only, hidden or system; or a folder.
bool RefusesReplacement(uint32_t attributes) {
  constexpr uint32_t kRefused = platform::kAttrReadOnly | platform::kAttrHidden |
                                platform::kAttrSystem | platform::kAttrDirectory;
  return attributes != platform::kInvalidAttributes && (attributes & kRefused) != 0;
}

}  // namespace

bool WriteManifest(Platform& os, const std::u16string& F, const std::u16string& wManiFest,
                   std::vector<std::u16string>& wSL) {
  SplitLines(wManiFest, wSL);
  std::u16string joined;
  for (const std::u16string& line : wSL) {
    joined += line;
    joined += u"\r\n";
  }
  std::string utf8;
  if (!os.ToUtf8(joined, &utf8)) return false;
  const std::u16string manifest = F + c_ManifestName;
  if (RefusesReplacement(os.FileAttributes(manifest))) return false;
  NewManifestFile file(os, F + c_NewManifestName);
  if (!file.is_open()) return false;
  if (!file.WriteAll(kByteOrderMark, 3) || !file.WriteAll(utf8.data(), utf8.size())) return false;
  return file.PlaceAs(manifest);
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
    if (os.RemoveFile(path)) return Removal::kRemoved;
    // Only a manifest that is there and is a file can have failed to go. Asked
    // after the removal, so that an attribute word that can't be read never
    // hides a manifest that stays.
    const uint32_t attributes = os.FileAttributes(path);
    if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrDirectory)) {
      return Removal::kNothingThere;
    }
    return Removal::kFailed;
  } catch (const std::exception&) {
    return Removal::kFailed;
  }
}

}  // namespace registration
