// Finding the version folders below the host's add-in root.
#ifndef KORVANE_REGISTRATION_DISCOVERY_H_
#define KORVANE_REGISTRATION_DISCOVERY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace registration {

// The shell folder with this CSIDL, or the empty text when the platform can't
// tell it.
std::u16string GetSpecialFolder(platform::Platform& os, int CSIDL);

// The add-in root in the user's roaming application data, ending in "\"; the
// empty text when that folder can't be told (then there is no root).
std::u16string AddinRoot(platform::Platform& os);

// Whether the root is an existing folder; a link or junction counts only when
// its target opens.
bool AddinRootExists(platform::Platform& os, const std::u16string& root);

// Root with a "\" appended, unless it already ends in one.
std::u16string AddDirSeparator(const std::u16string& Root);

// Appends every folder below sRootDir to slt: a folder's direct sub-folders
// together in listing order, then each one's whole result in turn. Hidden and
// system entries, and all below them, are left out. A folder already
// descended into in this scan (through a link, say) is not descended into
// again.
void GetSubDirs(platform::Platform& os, const std::u16string& sRootDir,
                std::vector<std::u16string>& slt);

// Reads a whole name as a signed 32-bit integer: blanks, at most one sign,
// then decimal digits or a hexadecimal prefix ("$", "x", "X", "0x", "0X") and
// hexadecimal digits, nothing after.
bool ReadInteger(const std::u16string& text, int32_t* value);

// Whether a listed folder is a version folder: its own name reads as a year
// from 2021 to 2026.
bool IsVersionFolder(const std::u16string& entry, int32_t* version);

struct VersionFolder {
  std::u16string path;  // no trailing "\"
  int32_t version;
};

// Every version folder below the user's add-in root, in scan order; none
// when there is no add-in root.
std::vector<VersionFolder> FindVersionFolders(platform::Platform& os);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_DISCOVERY_H_
