#include "registration/manifest.h"

#include <algorithm>
#include <vector>

namespace registration {

const char16_t c_Manifest[] =
    u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    u"<RevitAddIns>\r\n"
    u"  <AddIn Type=\"Command\">\r\n"
    u"    <Assembly>@@DLLPATH</Assembly>\r\n"
    u"    <ClientId>5b8e2c71-9d4a-4e63-b0f2-7a1c36d9e845</ClientId>\r\n"
    u"    <FullClassName>Kestrun.Command</FullClassName>\r\n"
    u"    <Text>@@BUTTONTEXT</Text>\r\n"
    u"    <Description>@@DESC</Description>\r\n"
    u"    <VisibilityMode>NotVisibleInFamily</VisibilityMode>\r\n"
    u"    <VendorId>ADSK</VendorId>\r\n"
    u"    <VendorDescription>Quadrelle, www.quadrelle.com</VendorDescription>\r\n"
    u"    <LargeImage>@@ICONPATH</LargeImage>\r\n"
    u"  </AddIn>\r\n"
    u"</RevitAddIns>";

namespace {

constexpr char16_t kDllPath[] = u"@@DLLPATH";

struct Fill {
  std::u16string placeholder;
  std::u16string value;
};

// Fills each placeholder at its first place in `text` as it stands before any
// fill, so that a placeholder inside a value is never filled in turn.
std::u16string FillAtOwnPlaces(const std::u16string& text, const std::vector<Fill>& fills) {
  struct Place {
    size_t at;
    const Fill* fill;
  };
  std::vector<Place> places;
  for (const Fill& fill : fills) {
    const size_t at = text.find(fill.placeholder);
    if (at != std::u16string::npos) places.push_back({at, &fill});
  }
  std::sort(places.begin(), places.end(),
            [](const Place& a, const Place& b) { return a.at < b.at; });
  std::u16string out;
  size_t from = 0;
  for (const Place& place : places) {
    out.append(text, from, place.at - from);
    out += XmlCharacterData(place.fill->value);
    from = place.at + place.fill->placeholder.size();
  }
  out.append(text, from, std::u16string::npos);
  return out;
}

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

int DigitValue(char16_t c, int base) {
  int v = -1;
  if (c >= u'0' && c <= u'9') v = c - u'0';
  else if (c >= u'a' && c <= u'f') v = c - u'a' + 10;
  else if (c >= u'A' && c <= u'F') v = c - u'A' + 10;
  return v < base ? v : -1;
}

// Whether value[at] == '&' begins a reference that XML accepts as it stands.
bool BeginsReference(const std::u16string& value, size_t at) {
  for (const char16_t* name : {u"&amp;", u"&lt;", u"&gt;", u"&quot;", u"&apos;"}) {
    if (value.compare(at, std::char_traits<char16_t>::length(name), name) == 0) return true;
  }
  size_t i = at + 1;
  if (i >= value.size() || value[i] != u'#') return false;
  ++i;
  int base = 10;
  if (i < value.size() && value[i] == u'x') {
    base = 16;
    ++i;
  }
  const size_t first_digit = i;
  char32_t code = 0;
  for (; i < value.size() && DigitValue(value[i], base) >= 0; ++i) {
    code = code * base + DigitValue(value[i], base);
    if (code > 0x10FFFF) return false;
  }
  return i > first_digit && i < value.size() && value[i] == u';' && IsXmlChar(code);
}

}  // namespace

std::u16string XmlCharacterData(const std::u16string& value) {
  std::u16string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c == u'<') {
      out += u"&lt;";
    } else if (c == u'>') {
      out += u"&gt;";
    } else if (c == u'&') {
      out += BeginsReference(value, i) ? u"&" : u"&amp;";
    } else if ((c < 0xD800 || c > 0xDFFF) && !IsXmlChar(c)) {
      // Surrogates pass here; an unpaired one becomes U+FFFD when written.
      out.push_back(u'\uFFFD');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::u16string FillManifestBase(const std::u16string& wIconPath,
                                const std::u16string& wButtonText,
                                const std::u16string& wDesc) {
  return FillAtOwnPlaces(c_Manifest, {{u"@@ICONPATH", wIconPath},
                                      {u"@@BUTTONTEXT", wButtonText},
                                      {u"@@DESC", wDesc}});
}

std::u16string FillAssemblyPath(const std::u16string& wManifestBase,
                                const std::u16string& wDLLPath, int32_t version) {
  // The template's "@@DLLPATH" stands before every filled value, so its first
  // place in the base is the template's own.
  return FillAtOwnPlaces(wManifestBase,
                         {{kDllPath, Get_Revit_Version_Dll_Name(wDLLPath, version)}});
}

std::u16string Get_Revit_Version_Dll_Name(const std::u16string& S, int32_t Version) {
  const size_t slash = S.find_last_of(u"\\/");
  const size_t name_at = slash == std::u16string::npos ? 0 : slash + 1;
  const size_t dot = S.find_last_of(u'.');
  const size_t stem_end = dot == std::u16string::npos || dot < name_at ? S.size() : dot;
  const std::string digits = std::to_string(Version);
  return S.substr(0, stem_end) + std::u16string(digits.begin(), digits.end()) + u".dll";
}

}  // namespace registration
