; A per-user installer for the Korvane add-in: it puts the files in place,
; registers the add-in with korvane-register.exe, and its uninstaller takes
; the add-in out again with korvane-unregister.exe before the files go.
;   makensis -DKORVANE_FILES=<folder with the .exe and the add-in's files> korvane.nsi
Unicode true
Target amd64-unicode   ; the 64-bit stub: the programs are x86-64
!include LogicLib.nsh

!ifndef KORVANE_FILES
  !define KORVANE_FILES "."
!endif
!ifndef OUTFILE
  !define OUTFILE "korvane-setup.exe"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvane"

Name "Korvane add-in"
OutFile "${OUTFILE}"
RequestExecutionLevel user   ; per user: the manifests go into this user's profile
InstallDir "$LOCALAPPDATA\Programs\Korvane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Korvane add-in"
  SetOutPath "$INSTDIR"
  File "${KORVANE_FILES}\korvane-register.exe"
  File "${KORVANE_FILES}\korvane-unregister.exe"
  File "${KORVANE_FILES}\Kestrun.dll"
  File "${KORVANE_FILES}\export.png"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Korvane add-in"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'

  ; The exit code arrives unsigned: compare it as a number, never as text.
  ExecWait '"$INSTDIR\korvane-register.exe"' $0
  ${If} $0 = 0
    DetailPrint "The Korvane add-in is registered."
  ${ElseIf} $0 = -3
    DetailPrint "The Korvane add-in is registered; Revit is running."
    MessageBox MB_ICONINFORMATION "Restart Revit to load the Korvane add-in." /SD IDOK
  ${ElseIf} $0 = -2
    DetailPrint "No Revit 2021 to 2026 for this user: nothing to register."
  ${Else}
    DetailPrint "korvane-register.exe ended with $0."
    MessageBox MB_ICONSTOP "The Korvane add-in could not be registered (exit code $0)." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
SectionEnd

Section "Uninstall"
  ExecWait '"$INSTDIR\korvane-unregister.exe"' $0
  ${If} $0 = 0
  ${OrIf} $0 = -2
    DetailPrint "The Korvane add-in is removed."
  ${ElseIf} $0 = -3
    MessageBox MB_ICONINFORMATION "Restart Revit to unload the Korvane add-in." /SD IDOK
  ${Else}
    ; The files stay, so that a manifest left behind still points at them.
    MessageBox MB_ICONSTOP "The Korvane add-in could not be removed (exit code $0). Close Revit and try again." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\korvane-register.exe"
  Delete "$INSTDIR\korvane-unregister.exe"
  Delete "$INSTDIR\Kestrun.dll"
  Delete "$INSTDIR\export.png"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
