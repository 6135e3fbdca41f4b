// Writing one manifest file into one version folder.
#ifndef KORVANE_REGISTRATION_OUTPUT_H_
#define KORVANE_REGISTRATION_OUTPUT_H_

#include <string>
#include <vector>

#include "platform/platform.h"

namespace registration {

// Replaces the lines in wSL with those of the text: CR LF, a lone CR and a
// lone LF each end a line; a break at the very end adds no empty line.
void SplitLines(const std::u16string& text, std::vector<std::u16string>& wSL);

// Writes the manifest text into folder F as "ExportToKorvane.addin": the
// mark EF BB BF, then every line in UTF-8 followed by CR LF. False when the
// write failed; the folder then holds its old file untouched (it could not be
// opened) or none at all (it failed later), never a partial one. Only
// exhaustion of memory leaves by an exception, also without a partial file.
bool WriteManifest(platform::Platform& os, const std::u16string& F,
                   const std::u16string& wManiFest, std::vector<std::u16string>& wSL);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_OUTPUT_H_
