#!/usr/bin/env bash
# Builds the program and runs it on a small sample add-in tree: natively, and
# the .exe under Wine; prints each exit code and a manifest it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target korvane-register korvane-unregister >/dev/null
done

sample() {  # builds the sample tree below $1
  mkdir -p "$1/Autodesk/Revit/Addins/"{2022,2024,Vendor/2025,2019,.hidden/2023}
}

work=$(mktemp -d /tmp/korvane-demo.XXXXXX)
echo "== native: build/native/korvane-register, APPDATA=$work/AppData"
sample "$work/AppData"
set +e
APPDATA="$work/AppData" build/native/korvane-register
echo "exit status: $? (0 = registered, 255 = -1, 254 = -2, 253 = -3, 252 = -4)"
set -e
(cd "$work/AppData/Autodesk/Revit/Addins" && find . -name ExportToKorvane.addin | sort)
cat "$work/AppData/Autodesk/Revit/Addins/2024/ExportToKorvane.addin"
echo "== native: build/native/korvane-unregister"
set +e
APPDATA="$work/AppData" build/native/korvane-unregister
echo "exit status: $?; manifests left: $(find "$work/AppData" -name ExportToKorvane.addin | wc -l)"
set -e

export WINEPREFIX="$work/wine" WINEDEBUG=-all
trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true; rm -rf "$work"' EXIT
echo
echo "== Windows: build/windows/korvane-register.exe under Wine (a new prefix takes a while)"
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
roaming="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming"
sample "$roaming"
mkdir -p "$WINEPREFIX/drive_c/Korvane"
cp build/windows/korvane-register.exe build/windows/korvane-unregister.exe "$WINEPREFIX/drive_c/Korvane/"
set +e
/usr/lib/wine/wine64 'C:\Korvane\korvane-register.exe'
echo "exit status: $? (as Wine passes on the low 8 bits of the exit code)"
set -e
(cd "$roaming/Autodesk/Revit/Addins" && find . -name ExportToKorvane.addin | sort)
cat "$roaming/Autodesk/Revit/Addins/2024/ExportToKorvane.addin"
echo "== Windows: korvane-unregister.exe under Wine"
set +e
/usr/lib/wine/wine64 'C:\Korvane\korvane-unregister.exe'
echo "exit status: $?; manifests left: $(find "$roaming" -name ExportToKorvane.addin | wc -l)"
set -e
