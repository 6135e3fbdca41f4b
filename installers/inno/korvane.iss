; A per-user installer for the Korvane add-in: it puts the files in place,
; registers the add-in with korvane-register.exe, and its uninstaller takes
; the add-in out again with korvane-unregister.exe before the files go.
;   iscc /DKorvaneFiles=<folder with the .exe and the add-in's files> korvane.iss
#ifndef KorvaneFiles
  #define KorvaneFiles "."
#endif

[Setup]
AppId={{9C3E5A71-2B8D-4F06-A1E4-7D5B0C9F3A62}
AppName=Korvane add-in
AppVersion=1.0.0
AppPublisher=Quadrelle
; Per user, no elevation: the manifests go into this user's profile.
PrivilegesRequired=lowest
DefaultDirName={localappdata}\Programs\Korvane
DisableDirPage=yes
DisableProgramGroupPage=yes
ArchitecturesAllowed=x64
ArchitecturesInstallIn64BitMode=x64
OutputBaseFilename=korvane-setup

[Files]
Source: "{#KorvaneFiles}\korvane-register.exe"; DestDir: "{app}"; Flags: ignoreversion
Source: "{#KorvaneFiles}\korvane-unregister.exe"; DestDir: "{app}"; Flags: ignoreversion
Source: "{#KorvaneFiles}\Kestrun.dll"; DestDir: "{app}"; Flags: ignoreversion
Source: "{#KorvaneFiles}\export.png"; DestDir: "{app}"; Flags: ignoreversion

[Code]
// Runs one of the two programs from the installed folder; its exit code, or
// 1 when it can't be started. Inno's Integer holds the code signed: -3.
function RunKorvane(FileName: String): Integer;
begin
  if not Exec(ExpandConstant('{app}\' + FileName), '', ExpandConstant('{app}'), SW_HIDE,
              ewWaitUntilTerminated, Result) then
    Result := 1;
end;

var
  RegistrationFailed: Boolean;

// Once the files are in place. A failure is reported, and Setup ends with 1.
procedure CurStepChanged(CurStep: TSetupStep);
var
  Code: Integer;
begin
  if CurStep <> ssPostInstall then
    Exit;
  Code := RunKorvane('korvane-register.exe');
  case Code of
    0: Log('The Korvane add-in is registered.');
    -3: SuppressibleMsgBox('Restart Revit to load the Korvane add-in.', mbInformation, MB_OK, IDOK);
    -2: Log('No Revit 2021 to 2026 for this user: nothing to register.');
  else
    begin
      RegistrationFailed := True;
      SuppressibleMsgBox('The Korvane add-in could not be registered (exit code ' + IntToStr(Code) + ').',
                         mbError, MB_OK, IDOK);
    end;
  end;
end;

function GetCustomSetupExitCode: Integer;
begin
  if RegistrationFailed then
    Result := 1
  else
    Result := 0;
end;

// Before the files go; the files stay when the add-in can't be taken out.
procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);
var
  Code: Integer;
begin
  if CurUninstallStep <> usUninstall then
    Exit;
  Code := RunKorvane('korvane-unregister.exe');
  case Code of
    0, -2: Log('The Korvane add-in is removed.');
    -3: SuppressibleMsgBox('Restart Revit to unload the Korvane add-in.', mbInformation, MB_OK, IDOK);
  else
    RaiseException('The Korvane add-in could not be removed (exit code ' + IntToStr(Code) + '). Close Revit and try again.');
  end;
end;
