// The registration run: from the command line to the exit code.
#ifndef KORVANE_REGISTRATION_RUN_H_
#define KORVANE_REGISTRATION_RUN_H_

#include <cstdint>
#include <exception>
#include <string>

#include "platform/platform.h"

namespace registration {

// Registers the add-in in every version folder and returns the exit code:
// 0, or c_CouldNotWriteFile, c_NoProperFolder, c_RevitRuns, c_BadCall. An
// unexpected failure prints one line, kind name ": " message, and the run
// returns c_CouldNotWriteFile when a write had failed before it, c_Failed
// otherwise (also when the line can't be written).
int32_t Run(platform::Platform& os);

// The failure line's text for an exception, CR LF included.
std::u16string FailureLine(const std::exception& failure);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_RUN_H_
