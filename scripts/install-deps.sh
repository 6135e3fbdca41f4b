#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the benchmark
# need, if missing, and the Inno Setup compiler from npm into build/tools.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev googletest libxml2-dev python3
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 clang libclang-rt-14-dev valgrind
          time  # GNU time, which the benchmark reads peak memory with
          nsis msitools wixl  # the installer engines the recipes are built with
          osslsigncode openssl  # Authenticode signing, and throw-away test certificates
          unzip  # to look into the package
          wine wine32:i386)  # `wine` runs the Inno Setup compiler, a 32-bit Windows program
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

iscc=build/tools/node_modules/innosetup-compiler/bin/ISCC.exe
if [ ! -f "$iscc" ]; then
  echo "== installing the Inno Setup compiler into build/tools"
  command -v npm >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q npm
  npm install --prefix build/tools --no-audit --no-fund --loglevel=error innosetup-compiler@6.3.1
fi
