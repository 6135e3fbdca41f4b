// The add-in manifest: its template and the fills that make it.
#ifndef KORVANE_REGISTRATION_MANIFEST_H_
#define KORVANE_REGISTRATION_MANIFEST_H_

#include <cstdint>
#include <string>

namespace registration {

// The template: 14 lines with CR LF between them and none after the last.
// A constant array, so that nothing is allocated before the program starts.
extern const char16_t c_Manifest[];

// The template with "@@ICONPATH", "@@BUTTONTEXT" and "@@DESC" filled, each at
// the template's own place; "@@DLLPATH" stays for the per-version fill.
std::u16string FillManifestBase(const std::u16string& wIconPath,
                                const std::u16string& wButtonText,
                                const std::u16string& wDesc);

// The base with "@@DLLPATH" filled with the assembly path for `version`.
std::u16string FillAssemblyPath(const std::u16string& wManifestBase,
                                const std::u16string& wDLLPath, int32_t version);

// The assembly path for one version: the file name's extension (from its last
// ".") replaced by the version and ".dll"; "Kestrun.dll" with 2024 gives
// "Kestrun2024.dll". The folder part, up to the last "\" or "/", is kept as
// it stands.
std::u16string Get_Revit_Version_Dll_Name(const std::u16string& S, int32_t Version);

// A value as XML character data: "<", ">" and "&" escaped, except an "&" that
// begins a well-formed reference already; characters XML can't hold become
// U+FFFD.
std::u16string XmlCharacterData(const std::u16string& value);

}  // namespace registration

#endif  // KORVANE_REGISTRATION_MANIFEST_H_
