// The reading of a folder name as an integer agrees with a plain reference.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "registration/discovery.h"

namespace {

// The rule, read the plain way: blanks, a sign, a prefix, digits, and the
// value in 64 bits before it is checked.
bool Reference(const std::u16string& s, int32_t* out) {
  size_t i = s.find_first_not_of(u' ');
  if (i == std::u16string::npos) return false;
  bool negative = false;
  if (s[i] == u'+' || s[i] == u'-') negative = s[i++] == u'-';
  int base = 10;
  if (s.compare(i, 2, u"0x") == 0 || s.compare(i, 2, u"0X") == 0) { base = 16; i += 2; }
  else if (i < s.size() && (s[i] == u'$' || s[i] == u'x' || s[i] == u'X')) { base = 16; i += 1; }
  const std::u16string digits = s.substr(i);
  if (digits.empty() || digits.size() > 40) return false;  // longer inputs: see below
  std::string ascii;
  for (char16_t c : digits) {
    const bool ok = (c >= u'0' && c <= u'9') || (base == 16 && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')));
    if (!ok) return false;
    ascii.push_back(static_cast<char>(c));
  }
  const size_t first = ascii.find_first_not_of('0');
  const std::string significant = first == std::string::npos ? "0" : ascii.substr(first);
  if (significant.size() > (base == 16 ? 8u : 10u)) return false;
  const unsigned long long v = std::strtoull(significant.c_str(), nullptr, base);
  if (base == 10) {
    if (v > (negative ? 2147483648ull : 2147483647ull)) return false;
    *out = static_cast<int32_t>(negative ? -static_cast<long long>(v) : static_cast<long long>(v));
  } else {
    *out = static_cast<int32_t>(negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string name;
  for (size_t i = 0; i < size; ++i) {
    // Mostly the characters that matter, sometimes any code unit.
    static const char16_t kAlphabet[] = u" +-$xX0123456789aAfFgG\t\u00A0\uFF11";
    name.push_back(data[i] < 0xE0 ? kAlphabet[data[i] % (sizeof kAlphabet / sizeof kAlphabet[0] - 1)] : static_cast<char16_t>(data[i] << 4));
  }
  if (name.size() > 40) return 0;  // the reference reads at most 40 digits
  int32_t got = 0, want = 0;
  const bool read = registration::ReadInteger(name, &got);
  if (read != Reference(name, &want) || (read && got != want)) std::abort();
  return 0;
}
