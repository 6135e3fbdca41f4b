// The manifest file of one version folder: written, and removed again.
#ifndef KORVANE_REGISTRATION_OUTPUT_H_
#define KORVANE_REGISTRATION_OUTPUT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace registration {

// Replaces the lines in wSL with those of the text: CR LF, a lone CR and a
// lone LF each end a line; a break at the very end adds no empty line.
void SplitLines(const std::u16string& text, std::vector<std::u16string>& wSL);

// Writes the manifest text into folder F as "ExportToKorvane.addin": the
// mark EF BB BF, then every line in UTF-8 followed by CR LF. The new manifest
// is written whole into a file beside it, flushed to disk, and then put in
// its place in one atomic step, so that the folder holds the old manifest
// whole or the new one whole at every instant. False when the write failed;
// the old manifest is then untouched and no other file is left. A manifest
// that is read-only, hidden or system, a folder, or held open by another
// process is left as it is and fails the write. Only exhaustion of memory
// leaves by an exception, also with the old manifest untouched.
bool WriteManifest(platform::Platform& os, const std::u16string& F,
                   const std::u16string& wManiFest, std::vector<std::u16string>& wSL);

// Fills the manifest base for `version` and writes it into folder F, as one
// guarded unit: any failure inside it, exhaustion of memory included, fails
// this folder's write alone (false), and the run goes on.
bool WriteVersionManifest(platform::Platform& os, const std::u16string& F,
                          const std::u16string& wManifestBase, const std::u16string& wDLLPath,
                          int32_t version, std::vector<std::u16string>& wSL);

enum class Removal { kRemoved, kNothingThere, kFailed };

// Removes the file "ExportToKorvane.addin" from folder F. A folder of that
// name is left alone, as nothing there; a file that can't be removed
// (read-only, held open, access denied) is kFailed. Any failure inside,
// exhaustion of memory included, is kFailed.
Removal RemoveManifest(platform::Platform& os, const std::u16string& F);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_OUTPUT_H_
