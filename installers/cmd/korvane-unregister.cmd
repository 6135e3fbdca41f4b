@echo off
rem Takes the Korvane add-in out again for the user who runs this file, with
rem korvane-unregister.exe from the same folder. Ends with 0 exactly when an
rem uninstallation should go on; otherwise with the program's exit code.
"%~dp0korvane-unregister.exe"
set KORVANE_CODE=%ERRORLEVEL%
if %KORVANE_CODE% EQU 0 echo Korvane: the add-in is removed.& exit /b 0
if %KORVANE_CODE% EQU -3 echo Korvane: the add-in is removed. Restart Revit to unload it.& exit /b 0
if %KORVANE_CODE% EQU -2 echo Korvane: no Revit 2021 to 2026 for this user, nothing to remove.& exit /b 0
echo Korvane: the add-in could not be removed (exit code %KORVANE_CODE%).
exit /b %KORVANE_CODE%
