@echo off
rem Registers the Korvane add-in for the user who runs this file, with
rem korvane-register.exe from the same folder. Ends with 0 exactly when an
rem installation should go on; otherwise with the program's exit code.
"%~dp0korvane-register.exe"
set KORVANE_CODE=%ERRORLEVEL%
if %KORVANE_CODE% EQU 0 echo Korvane: the add-in is registered.& exit /b 0
if %KORVANE_CODE% EQU -3 echo Korvane: the add-in is registered. Restart Revit to load it.& exit /b 0
if %KORVANE_CODE% EQU -2 echo Korvane: no Revit 2021 to 2026 for this user, nothing to register.& exit /b 0
echo Korvane: the add-in could not be registered (exit code %KORVANE_CODE%).
exit /b %KORVANE_CODE%
