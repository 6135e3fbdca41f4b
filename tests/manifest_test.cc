#include "registration/manifest.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

namespace registration {
namespace {

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find(u"\r\n", start)) != std::u16string::npos; start = at + 2) {
    lines.push_back(text.substr(start, at - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

TEST(Manifest, TemplateHasFourteenLinesAndNoBreakAfterTheLast) {
  const std::u16string kTemplate = c_Manifest;
  const std::vector<std::u16string> lines = Lines(kTemplate);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], u"<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  EXPECT_EQ(lines[13], u"</RevitAddIns>");
  EXPECT_EQ(kTemplate.find(u'\n'), kTemplate.find(u"\r\n") + 1);
  for (const char16_t* placeholder : {u"@@DLLPATH", u"@@BUTTONTEXT", u"@@DESC", u"@@ICONPATH"}) {
    const std::u16string p = placeholder;
    EXPECT_NE(kTemplate.find(p), std::u16string::npos);
    EXPECT_EQ(kTemplate.find(p, kTemplate.find(p) + 1), std::u16string::npos) << N(p);
  }
}

TEST(Manifest, DefaultRunFromSetupForVersion2023) {
  const std::u16string base =
      FillManifestBase(u"C:\\Setup\\export.png", u"Korvane Interface",
                       u"Communication Addin between Revit and Korvane");
  const std::vector<std::u16string> lines =
      Lines(FillAssemblyPath(base, u"C:\\Setup\\Kestrun.dll", 2023));
  const std::vector<std::u16string> expected = {
      u"<?xml version=\"1.0\" encoding=\"utf-8\"?>",
      u"<RevitAddIns>",
      u"  <AddIn Type=\"Command\">",
      u"    <Assembly>C:\\Setup\\Kestrun2023.dll</Assembly>",
      u"    <ClientId>5b8e2c71-9d4a-4e63-b0f2-7a1c36d9e845</ClientId>",
      u"    <FullClassName>Kestrun.Command</FullClassName>",
      u"    <Text>Korvane Interface</Text>",
      u"    <Description>Communication Addin between Revit and Korvane</Description>",
      u"    <VisibilityMode>NotVisibleInFamily</VisibilityMode>",
      u"    <VendorId>ADSK</VendorId>",
      u"    <VendorDescription>Quadrelle, www.quadrelle.com</VendorDescription>",
      u"    <LargeImage>C:\\Setup\\export.png</LargeImage>",
      u"  </AddIn>",
      u"</RevitAddIns>",
  };
  EXPECT_EQ(lines, expected);
}

TEST(Manifest, VersionDllName) {
  struct Case {
    std::u16string path;
    int32_t version;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\Korvane\\Kestrun.dll", 2024, u"C:\\Program Files\\Korvane\\Kestrun2024.dll"},
      {u"C:\\a.b\\lib.x.dll", 2021, u"C:\\a.b\\lib.x2021.dll"},
      {u"C:\\a\\addin.bin", 2022, u"C:\\a\\addin2022.dll"},
      {u"C:\\a\\.dll", 2025, u"C:\\a\\2025.dll"},
      {u"C:\\Setup\\\\Kestrun.dll", 2023, u"C:\\Setup\\\\Kestrun2023.dll"},
      {u"C:\\a\\b", 2026, u"C:\\a\\b2026.dll"},
      {u"-1", -1, u"-1-1.dll"},
      // Mended: these once gave the empty text and an empty Assembly element.
      {u"Kestrun.dll", 2021, u"Kestrun2021.dll"},
      {u"C:/Korvane/Kestrun.dll", 2022, u"C:/Korvane/Kestrun2022.dll"},
      {u"C:\\a.b\\Kestrun", 2023, u"C:\\a.b\\Kestrun2023.dll"},
      {u"C:\\a.b/Kestrun", 2023, u"C:\\a.b/Kestrun2023.dll"},
      {u"C:\\x/y.z\\k", 2024, u"C:\\x/y.z\\k2024.dll"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(N(c.path));
    EXPECT_EQ(Get_Revit_Version_Dll_Name(c.path, c.version), c.expected);
  }
}

TEST(Manifest, PlaceholderTextInsideAValueStaysLiteral) {
  const std::u16string base = FillManifestBase(u"@@DLLPATH@@DESC", u"T @@DESC @@ICONPATH", u"@@BUTTONTEXT");
  const std::vector<std::u16string> lines = Lines(FillAssemblyPath(base, u"C:\\@@DESC\\k.dll", 2021));
  EXPECT_EQ(lines[3], u"    <Assembly>C:\\@@DESC\\k2021.dll</Assembly>");
  EXPECT_EQ(lines[6], u"    <Text>T @@DESC @@ICONPATH</Text>");
  EXPECT_EQ(lines[7], u"    <Description>@@BUTTONTEXT</Description>");
  EXPECT_EQ(lines[11], u"    <LargeImage>@@DLLPATH@@DESC</LargeImage>");
}

TEST(Manifest, ValuesAreWrittenAsXmlCharacterData) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\R&D\\K", u"C:\\R&amp;D\\K"},
      {u"a<b>c", u"a&lt;b&gt;c"},
      {u"]]>", u"]]&gt;"},
      {u"&amp;&lt;&gt;&quot;&apos;", u"&amp;&lt;&gt;&quot;&apos;"},
      {u"&#65;&#x41;&#x1F600;", u"&#65;&#x41;&#x1F600;"},
      {u"&amp", u"&amp;amp"},
      {u"&AMP;", u"&amp;AMP;"},
      {u"&#;&#x;&#X41;&#65", u"&amp;#;&amp;#x;&amp;#X41;&amp;#65"},
      {u"&#0;&#x1;&#xFFFE;&#xD800;&#x110000;&#99999999999;", u"&amp;#0;&amp;#x1;&amp;#xFFFE;&amp;#xD800;&amp;#x110000;&amp;#99999999999;"},
      {u"&nbsp;&", u"&amp;nbsp;&amp;"},
      {u"a\x01\x08\x0B\x0C\x0E\x1F\uFFFE\uFFFFz", u"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz"},
      {u"tab\tcr\rlf\n", u"tab\tcr\rlf\n"},
      {u"\u00E9\U0001F600", u"\u00E9\U0001F600"},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(N(value));
    EXPECT_EQ(XmlCharacterData(value), expected);
  }
}

TEST(Manifest, EscapingAppliesToAllFourValuesAndTheDerivedPath) {
  const std::u16string base = FillManifestBase(u"C:\\R&D\\i.png", u"<b>", u"x & y");
  const std::vector<std::u16string> lines = Lines(FillAssemblyPath(base, u"C:\\R&D\\K.dll", 2022));
  EXPECT_EQ(lines[3], u"    <Assembly>C:\\R&amp;D\\K2022.dll</Assembly>");
  EXPECT_EQ(lines[6], u"    <Text>&lt;b&gt;</Text>");
  EXPECT_EQ(lines[7], u"    <Description>x &amp; y</Description>");
  EXPECT_EQ(lines[11], u"    <LargeImage>C:\\R&amp;D\\i.png</LargeImage>");
}

}  // namespace
}  // namespace registration
