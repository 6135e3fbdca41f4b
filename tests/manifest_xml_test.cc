// Every manifest the fills make is read back by an independent XML parser.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <map>

#include "registration/manifest.h"
#include "tests/test_util.h"

namespace registration {
namespace {

// The text of each child element of the one AddIn element, or nothing when
// the manifest is not well-formed.
std::map<std::string, std::string> ParseManifest(const std::u16string& manifest) {
  const std::string bytes = N(manifest);
  std::map<std::string, std::string> elements;
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "manifest.addin", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) return elements;
  xmlNodePtr root = xmlDocGetRootElement(doc);
  for (xmlNodePtr addin = root ? root->children : nullptr; addin; addin = addin->next) {
    if (addin->type != XML_ELEMENT_NODE) continue;
    for (xmlNodePtr e = addin->children; e; e = e->next) {
      if (e->type != XML_ELEMENT_NODE) continue;
      xmlChar* text = xmlNodeGetContent(e);
      elements[reinterpret_cast<const char*>(e->name)] = reinterpret_cast<const char*>(text);
      xmlFree(text);
    }
  }
  xmlFreeDoc(doc);
  return elements;
}

TEST(ManifestXml, EveryManifestIsWellFormedAndGivesBackItsValues) {
  struct Case {
    std::string value;  // as the caller gives it
    std::string meant;  // as the host must read it
  };
  const Case cases[] = {
      {"Korvane Interface", "Korvane Interface"},
      {"C:\\R&D\\Kestrun", "C:\\R&D\\Kestrun"},
      {"<b>bold</b> & \"q\" 'a'", "<b>bold</b> & \"q\" 'a'"},
      {"]]> --> <!-- <?pi?>", "]]> --> <!-- <?pi?>"},
      {"already &amp; escaped &lt;x&gt; &#65;&#x42;", "already & escaped <x> AB"},
      {"broken &amp &#; &#xZ; &nope;", "broken &amp &#; &#xZ; &nope;"},
      {"ctl \x01\x1f end", "ctl \xEF\xBF\xBD\xEF\xBF\xBD end"},
      {"line\nbreak\ttab", "line\nbreak\ttab"},
      {"\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80", "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80"},
      {"@@DESC @@DLLPATH", "@@DESC @@DLLPATH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const std::u16string value = U(c.value);
    const std::u16string manifest =
        FillAssemblyPath(FillManifestBase(value, value, value), value + u"\\K.dll", 2024);
    std::map<std::string, std::string> elements = ParseManifest(manifest);
    ASSERT_FALSE(elements.empty()) << "not well-formed:\n" << N(manifest);
    EXPECT_EQ(elements["Assembly"], c.meant + "\\K2024.dll");
    EXPECT_EQ(elements["Text"], c.meant);
    EXPECT_EQ(elements["Description"], c.meant);
    EXPECT_EQ(elements["LargeImage"], c.meant);
    EXPECT_EQ(elements["ClientId"], "5b8e2c71-9d4a-4e63-b0f2-7a1c36d9e845");
  }
}

}  // namespace
}  // namespace registration
