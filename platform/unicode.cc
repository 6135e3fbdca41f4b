#include "platform/unicode.h"

namespace platform {
namespace {

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The length of the well-formed sequence at s[i], or 0 when there is none.
size_t SequenceLength(const std::string& s, size_t i, char32_t* c) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char lead = b(0);
  size_t n;
  char32_t min;
  if (lead < 0x80) { *c = lead; return 1; }
  if (lead >= 0xC2 && lead <= 0xDF) { n = 2; min = 0x80; *c = lead & 0x1F; }
  else if (lead >= 0xE0 && lead <= 0xEF) { n = 3; min = 0x800; *c = lead & 0x0F; }
  else if (lead >= 0xF0 && lead <= 0xF4) { n = 4; min = 0x10000; *c = lead & 0x07; }
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    *c = (*c << 6) | (b(k) & 0x3F);
  }
  if (*c < min || *c > 0x10FFFF || (*c >= 0xD800 && *c <= 0xDFFF)) return 0;
  return n;
}

// Escapes stand for the bytes 0x80 to 0xFF of a name that is no UTF-8.
constexpr char16_t kEscapeBase = 0xDC00;

std::string ToUtf8(const std::u16string& text, bool escapes) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (escapes && text[i] >= kEscapeBase + 0x80 && text[i] <= kEscapeBase + 0xFF) {
      out.push_back(static_cast<char>(text[i] - kEscapeBase));
      continue;
    } else if (IsHigh(text[i]) || IsLow(text[i])) {
      c = 0xFFFD;
    }
    AppendUtf8(c, &out);
  }
  return out;
}

std::u16string ToUtf16(const std::string& text, bool escapes) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c;
    const size_t n = SequenceLength(text, i, &c);
    if (n == 0) {
      const unsigned char byte = static_cast<unsigned char>(text[i]);
      out.push_back(escapes ? static_cast<char16_t>(kEscapeBase + byte) : u'\uFFFD');
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += n;
  }
  return out;
}

}  // namespace

std::string Utf16ToUtf8(const std::u16string& text) { return ToUtf8(text, false); }
std::u16string Utf8ToUtf16(const std::string& text) { return ToUtf16(text, false); }
std::string NameToNative(const std::u16string& name) { return ToUtf8(name, true); }
std::u16string NameFromNative(const std::string& name) { return ToUtf16(name, true); }

}  // namespace platform
