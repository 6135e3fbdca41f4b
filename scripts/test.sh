#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: natively,
# natively under ASan and UBSan, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev googletest libxml2-dev python3
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 clang libclang-rt-14-dev valgrind)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

for preset in native sanitize windows; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo "== test: native"
ctest --preset native
echo "== test: native under ASan and UBSan"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize

echo "== test: Windows build under Wine"
WINEPREFIX=$(mktemp -d /tmp/korvane-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all
trap 'WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver64 -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
ctest --preset windows

echo "== checks of the shipped .exe"
bash scripts/check-exe.sh build/windows/korvane-register.exe
