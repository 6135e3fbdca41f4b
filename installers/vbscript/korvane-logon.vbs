' A logon script: registers the Korvane add-in for the user who logs on, with
' korvane-register.exe from the script's own folder (a share, say).
'   cscript //nologo korvane-logon.vbs            registers
'   cscript //nologo korvane-logon.vbs /remove    takes the add-in out again
' Ends with 0 exactly when all is well, with 1 otherwise.
Option Explicit
Dim shell, folder, program, deed, code
Set shell = CreateObject("WScript.Shell")
folder = CreateObject("Scripting.FileSystemObject").GetParentFolderName(WScript.ScriptFullName)
program = "korvane-register.exe"
deed = "registered"
If WScript.Arguments.Count = 1 Then
  If LCase(WScript.Arguments(0)) = "/remove" Then
    program = "korvane-unregister.exe"
    deed = "removed"
  End If
End If
' Run returns the program's exit code whole: -3, not 4294967293.
code = shell.Run("""" & folder & "\" & program & """", 0, True)
Select Case code
  Case 0
    WScript.Echo "Korvane: the add-in is " & deed & "."
  Case -3
    WScript.Echo "Korvane: the add-in is " & deed & ". Restart Revit for it to take effect."
  Case -2
    WScript.Echo "Korvane: no Revit 2021 to 2026 for this user, nothing " & deed & "."
  Case Else
    WScript.Echo "Korvane: the add-in could not be " & deed & " (exit code " & code & ")."
    WScript.Quit 1
End Select
WScript.Quit 0
