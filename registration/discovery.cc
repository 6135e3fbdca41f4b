#include "registration/discovery.h"

#include <set>
#include <utility>
#include <vector>

#include "registration/constants.h"

namespace registration {

using platform::Platform;

std::u16string GetSpecialFolder(Platform& os, int CSIDL) {
  std::u16string path;
  if (!os.SpecialFolderPath(CSIDL, &path)) return std::u16string();
  return path.substr(0, path.find(u'\0'));
}

std::u16string AddinRoot(Platform& os) {
  const std::u16string app_data = GetSpecialFolder(os, platform::kCsidlAppData);
  // Without the user's folder there is no root: a folder of that name on the
  // current drive is not the user's.
  if (app_data.empty()) return std::u16string();
  return app_data + c_AddinsFolder;
}

bool AddinRootExists(Platform& os, const std::u16string& root) {
  const uint32_t attributes = os.FileAttributes(root);
  if (attributes == platform::kInvalidAttributes) return false;
  if ((attributes & platform::kAttrReparsePoint) && !os.CanOpenTarget(root)) return false;
  return (attributes & platform::kAttrDirectory) != 0;
}

std::u16string AddDirSeparator(const std::u16string& Root) {
  if (!Root.empty() && Root.back() == u'\\') return Root;
  return Root + u'\\';
}

namespace {

class FolderScan {
 public:
  FolderScan(Platform& os, std::vector<std::u16string>& slt) : os_(os), slt_(slt) {}

  void ScanRoot(const std::u16string& sRootDir) {
    root_ = sRootDir;
    GetSubDirs(sRootDir, kRootPosition, false);
  }

 private:
  static constexpr size_t kRootPosition = static_cast<size_t>(-1);

  // sRootDir is a copy: slt_ grows below and may move the text it came from.
  // `position` is where it stands in slt_; `is_link` whether the listing
  // showed it as a link.
  void GetSubDirs(const std::u16string sRootDir, size_t position, bool is_link) {
    if (!FirstVisit(sRootDir, position, is_link)) return;
    std::vector<std::pair<size_t, bool>> sltSub;  // positions in slt_, and links
    const std::u16string sSearchPath = AddDirSeparator(sRootDir);
    os_.ListFolder(sSearchPath + u'*', [&](const std::u16string& name, uint32_t attributes) {
      if (attributes & (platform::kAttrHidden | platform::kAttrSystem)) return;
      if (!(attributes & platform::kAttrDirectory) || name == u"." || name == u"..") return;
      sltSub.emplace_back(slt_.size(), (attributes & platform::kAttrReparsePoint) != 0);
      slt_.push_back(sSearchPath + name);
    });
    for (const auto& [sub, link] : sltSub) GetSubDirs(slt_[sub], sub, link);
  }

  // Only a link can lead back to a folder already descended into, so folders
  // are told apart by identity only from the first link on; those descended
  // into before it are identified then. A tree without links thus costs no
  // identity at all. A folder whose identity can't be read counts as new.
  bool FirstVisit(const std::u16string& folder, size_t position, bool is_link) {
    if (!links_met_) {
      if (!is_link) {
        unidentified_.push_back(position);
        return true;
      }
      links_met_ = true;
      for (size_t p : unidentified_) Identify(p == kRootPosition ? root_ : slt_[p]);
      std::vector<size_t>().swap(unidentified_);
    }
    return Identify(folder);
  }

  // Whether the folder is new; it is remembered from now on.
  bool Identify(const std::u16string& folder) {
    platform::FolderId id;
    return !os_.GetFolderId(folder, &id) || visited_.insert(id).second;
  }

  Platform& os_;
  std::vector<std::u16string>& slt_;
  std::u16string root_;
  bool links_met_ = false;
  std::vector<size_t> unidentified_;  // positions in slt_ of folders descended into
  std::set<platform::FolderId> visited_;
};

}  // namespace

void GetSubDirs(Platform& os, const std::u16string& sRootDir, std::vector<std::u16string>& slt) {
  FolderScan(os, slt).ScanRoot(sRootDir);
}

namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

bool ReadInteger(const std::u16string& text, int32_t* value) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  bool hex = false;
  if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    hex = true;
    i += 1;
  } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;
  // Past these limits no more digits can make the value fit.
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t magnitude = 0;
  for (; i < n; ++i) {
    const int digit = hex ? HexDigit(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (magnitude > limit) return false;
  }
  // The bit pattern as a signed value; "-" negates it modulo 2^32.
  const uint32_t bits = static_cast<uint32_t>(magnitude);
  *value = static_cast<int32_t>(negative ? 0u - bits : bits);
  return true;
}

bool IsVersionFolder(const std::u16string& entry, int32_t* version) {
  const size_t d = entry.find_last_of(u'\\');
  if (d == std::u16string::npos) return false;
  const std::u16string wFoldername = entry.substr(d + 1);
  int32_t read = 0;
  if (!ReadInteger(wFoldername, &read)) return false;
  if (read < c_MinSupportedRevitVersion || read > c_MaxSupportedRevitVersion) return false;
  *version = read;
  return true;
}

std::vector<VersionFolder> FindVersionFolders(Platform& os) {
  std::vector<VersionFolder> found;
  const std::u16string wAppDataPath = AddinRoot(os);
  if (wAppDataPath.empty() || !AddinRootExists(os, wAppDataPath)) return found;
  std::vector<std::u16string> wSubDirs;
  GetSubDirs(os, wAppDataPath, wSubDirs);
  for (std::u16string& folder : wSubDirs) {
    int32_t version = 0;
    if (IsVersionFolder(folder, &version)) found.push_back({std::move(folder), version});
  }
  return found;
}

}  // namespace registration
