#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the benchmark need, if missing.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev googletest libxml2-dev python3
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 clang libclang-rt-14-dev valgrind
          time  # GNU time, which the benchmark reads peak memory with
          nsis msitools wixl  # the installer engines the recipes are built with
          osslsigncode openssl  # Authenticode signing, and throw-away test certificates
          unzip)  # to look into the package
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
