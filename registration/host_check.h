// Seeing whether a program runs on the machine.
#ifndef KORVANE_REGISTRATION_HOST_CHECK_H_
#define KORVANE_REGISTRATION_HOST_CHECK_H_

#include <string>

#include "platform/platform.h"

namespace registration {

// Whether a process runs whose executable text, or its file-name part after
// the last "\" or ":", equals exeFileName with "a" to "z" upper-cased on both
// sides. False when the processes can't be seen.
bool ProcessExists(platform::Platform& os, const std::u16string& exeFileName);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_HOST_CHECK_H_
