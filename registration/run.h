// The two runs, registration and removal, from the command line to the exit
// code, and the frame they share.
#ifndef KORVANE_REGISTRATION_RUN_H_
#define KORVANE_REGISTRATION_RUN_H_

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace registration {

// Registers the add-in in every version folder and returns the exit code:
// 0, or c_CouldNotWriteFile, c_NoProperFolder, c_RevitRuns, c_BadCall.
int32_t Register(platform::Platform& os);

// Removes the add-in's manifest from every version folder and returns the
// exit code, in the same words: 0 (every manifest found removed, or none
// found), c_CouldNotWriteFile (one could not be removed), c_NoProperFolder,
// c_RevitRuns (removed while the host runs), c_BadCall (any argument).
int32_t Unregister(platform::Platform& os);

// What a run does once its command line is read: sets exit_code; may throw.
using Work = void (*)(platform::Platform& os, const std::vector<std::u16string>& arguments,
                      int32_t& exit_code);

// The frame of both runs. A help request prints `usage` and ends with
// c_BadCall, with nothing else looked at. Otherwise `work` runs; a failure
// that leaves it prints one line, kind name ": " message, and the run returns
// c_CouldNotWriteFile when a write had failed before it, c_Failed otherwise
// (also when the line can't be written).
int32_t RunGuarded(platform::Platform& os, const char16_t* usage, Work work);

// The failure line's text for an exception, CR LF included.
std::u16string FailureLine(const std::exception& failure);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_RUN_H_
