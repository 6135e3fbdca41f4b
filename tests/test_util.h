// Small helpers shared by the tests.
#ifndef KORVANE_TESTS_TEST_UTIL_H_
#define KORVANE_TESTS_TEST_UTIL_H_

#include <string>

#include "platform/unicode.h"

// UTF-16 text from UTF-8 source text, for tables of cases.
inline std::u16string U(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }
// UTF-8 text for messages.
inline std::string N(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

#endif  // KORVANE_TESTS_TEST_UTIL_H_
