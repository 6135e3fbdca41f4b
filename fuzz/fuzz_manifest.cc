// Every filled manifest is well-formed XML, and its elements give back the
// values (where the value holds no reference or CR for the parser to change).
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/unicode.h"
#include "registration/manifest.h"

namespace {

std::u16string Meant(const std::u16string& value) {
  std::u16string out;
  for (char16_t c : value) {
    const bool bad = (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) || c == 0xFFFE || c == 0xFFFF;
    out.push_back(bad ? u'\uFFFD' : c);
  }
  return out;
}

std::string Element(xmlDocPtr doc, const char* name) {
  for (xmlNodePtr a = xmlDocGetRootElement(doc)->children; a; a = a->next) {
    for (xmlNodePtr e = a->children; e; e = e->next) {
      if (e->type != XML_ELEMENT_NODE || std::string(reinterpret_cast<const char*>(e->name)) != name) continue;
      xmlChar* text = xmlNodeGetContent(e);
      std::string s = reinterpret_cast<const char*>(text);
      xmlFree(text);
      return s;
    }
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string value;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates: UTF-8 conversion's own business
    value.push_back(c == 0 ? u' ' : c);
  }
  const std::u16string path = value + u"\\K.dll";
  const std::u16string manifest = registration::FillAssemblyPath(
      registration::FillManifestBase(value, value, value), path, 2024);
  const std::string bytes = platform::Utf16ToUtf8(manifest);
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "m.addin", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  if (doc == nullptr) std::abort();  // not well-formed
  if (value.find(u'&') == std::u16string::npos && value.find(u'\r') == std::u16string::npos) {
    const std::string meant = platform::Utf16ToUtf8(Meant(value));
    if (Element(doc, "Text") != meant || Element(doc, "Description") != meant ||
        Element(doc, "LargeImage") != meant ||
        Element(doc, "Assembly") != platform::Utf16ToUtf8(
            Meant(registration::Get_Revit_Version_Dll_Name(path, 2024)))) {
      std::abort();
    }
  }
  xmlFreeDoc(doc);
  return 0;
}
