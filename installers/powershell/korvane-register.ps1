# Registers the Korvane add-in for the user who runs this script, with
# korvane-register.exe from the script's folder; with -Remove, takes it out
# again with korvane-unregister.exe. Ends with 0 exactly when all is well.
# Not tested here: Wine's PowerShell is a stub that runs nothing.
param([switch]$Remove)
$program = if ($Remove) { 'korvane-unregister.exe' } else { 'korvane-register.exe' }
$deed = if ($Remove) { 'removed' } else { 'registered' }
& (Join-Path $PSScriptRoot $program)
switch ($LASTEXITCODE) {
  0  { "Korvane: the add-in is $deed." }
  -3 { "Korvane: the add-in is $deed. Restart Revit for it to take effect." }
  -2 { "Korvane: no Revit 2021 to 2026 for $env:USERNAME, nothing $deed." }
  default {
    Write-Error "Korvane: the add-in could not be $deed (exit code $LASTEXITCODE)."
    exit 1
  }
}
exit 0
