// The program-wide constants and exit codes.
#ifndef KORVANE_REGISTRATION_CONSTANTS_H_
#define KORVANE_REGISTRATION_CONSTANTS_H_

#include <cstdint>

namespace registration {

constexpr char16_t c_DLLPath[] = u"\\Kestrun.dll";
constexpr char16_t c_IconPath[] = u"\\export.png";
constexpr char16_t c_ButtonText[] = u"Korvane Interface";
constexpr char16_t c_Desc[] = u"Communication Addin between Revit and Korvane";
constexpr char16_t c_ManifestName[] = u"\\ExportToKorvane.addin";
// The new manifest while it is written: a name the host never reads, and no
// longer than the manifest's, so that wherever a manifest fits it fits too.
constexpr char16_t c_NewManifestName[] = u"\\ExportToKorvane.tmp";
constexpr char16_t c_RevitProcName[] = u"Revit.exe";
constexpr char16_t c_AddinsFolder[] = u"\\Autodesk\\Revit\\Addins\\";
constexpr int32_t c_MinSupportedRevitVersion = 2021;
constexpr int32_t c_MaxSupportedRevitVersion = 2026;

// Exit codes; 0 is success.
constexpr int32_t c_CouldNotWriteFile = -1;
constexpr int32_t c_NoProperFolder = -2;
constexpr int32_t c_RevitRuns = -3;
constexpr int32_t c_BadCall = -4;
// The status of a run that an unexpected failure stopped before any write
// had failed, and of one whose failure line could not be written.
constexpr int32_t c_Failed = 1;

}  // namespace registration

#endif  // KORVANE_REGISTRATION_CONSTANTS_H_
