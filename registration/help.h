// The help request both programs answer, and their usage texts.
#ifndef KORVANE_REGISTRATION_HELP_H_
#define KORVANE_REGISTRATION_HELP_H_

#include <string>
#include <vector>

#include "korvane_version.h"

namespace registration {

// Whether the arguments (the program's name dropped) are a single "/?", "-?",
// "-h" or "--help", compared exactly.
bool IsHelpRequest(const std::vector<std::u16string>& arguments);

// Exit codes as a Windows caller reads them; shared by both usage texts.
#define KORVANE_UNSIGNED_CODES_NOTE \
  u"A Windows caller that reads the code unsigned sees -1 as 4294967295,\r\n" \
  u"-2 as 4294967294, -3 as 4294967293 and -4 as 4294967292.\r\n"

constexpr char16_t c_RegisterUsage[] =
    u"korvane-register " KORVANE_VERSION u"\r\n"
    u"Registers the Korvane add-in with Revit 2021 to 2026: writes the manifest\r\n"
    u"ExportToKorvane.addin into every Revit version folder below the current\r\n"
    u"user's %APPDATA%\\Autodesk\\Revit\\Addins\\.\r\n"
    u"\r\n"
    u"  korvane-register                     the add-in's files lie beside this program\r\n"
    u"  korvane-register SETUPDIR            the add-in's files lie in SETUPDIR\r\n"
    u"  korvane-register DLL ICON TEXT DESC  assembly, icon, button text, description\r\n"
    u"  korvane-register /?                  this text (also -?, -h, --help)\r\n"
    u"\r\n"
    u"Exit codes:\r\n"
    u"   0  registered in every version folder\r\n"
    u"  -1  at least one manifest could not be written; the others were\r\n"
    u"  -2  no Revit 2021 to 2026 version folder for this user\r\n"
    u"  -3  registered, but Revit is running: restart it to load the add-in\r\n"
    u"  -4  bad call, or this text; nothing was done\r\n"
    KORVANE_UNSIGNED_CODES_NOTE;

constexpr char16_t c_UnregisterUsage[] =
    u"korvane-unregister " KORVANE_VERSION u"\r\n"
    u"Takes the Korvane add-in out of Revit 2021 to 2026 again: removes the\r\n"
    u"manifest ExportToKorvane.addin from every Revit version folder below the\r\n"
    u"current user's %APPDATA%\\Autodesk\\Revit\\Addins\\.\r\n"
    u"\r\n"
    u"  korvane-unregister                   remove the manifests\r\n"
    u"  korvane-unregister /?                this text (also -?, -h, --help)\r\n"
    u"\r\n"
    u"Exit codes:\r\n"
    u"   0  every manifest found was removed, or there was none\r\n"
    u"  -1  at least one manifest could not be removed; the others were\r\n"
    u"  -2  no Revit 2021 to 2026 version folder for this user\r\n"
    u"  -3  removed, but Revit is running: restart it to unload the add-in\r\n"
    u"  -4  bad call, or this text; nothing was done\r\n"
    KORVANE_UNSIGNED_CODES_NOTE;

#undef KORVANE_UNSIGNED_CODES_NOTE

}  // namespace registration

#endif  // KORVANE_REGISTRATION_HELP_H_
