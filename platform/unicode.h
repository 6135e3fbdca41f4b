// UTF-8 and UTF-16 conversion for the platform files that have no system
// conversion of their own (the POSIX layer and the test fake).
#ifndef KORVANE_PLATFORM_UNICODE_H_
#define KORVANE_PLATFORM_UNICODE_H_

#include <string>

namespace platform {

// Standard UTF-8; an unpaired surrogate becomes U+FFFD (EF BF BD).
std::string Utf16ToUtf8(const std::u16string& text);

// Each byte that does not begin a well-formed UTF-8 sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);

// File names, which POSIX lets hold any bytes: as above, but a byte that is
// no UTF-8 becomes the lone surrogate U+DC00 + byte and back again, so that
// every name survives the way from a listing to a path.
std::u16string NameFromNative(const std::string& name);
std::string NameToNative(const std::u16string& name);

}  // namespace platform

#endif  // KORVANE_PLATFORM_UNICODE_H_
