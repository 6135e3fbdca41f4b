#!/usr/bin/env bash
# Builds the shipped .exe twice, from two copies of the source in different
# folders, and checks that the two builds are the same byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/korvane-reproducible.XXXXXX)
trap 'rm -rf "$work"' EXIT
for copy in first "second copy"; do
  mkdir -p "$work/$copy"
  git ls-files -z | xargs -0 cp --parents -t "$work/$copy"
  (cd "$work/$copy" &&
   cmake --preset windows -DKORVANE_TESTS=OFF -DKORVANE_BENCH=OFF >/dev/null &&
   cmake --build --preset windows --target korvane-register korvane-unregister >/dev/null)
done
status=0
for exe in korvane-register.exe korvane-unregister.exe; do
  if cmp -s "$work/first/build/windows/$exe" "$work/second copy/build/windows/$exe"; then
    echo "$exe: the same in both builds ($(sha256sum < "$work/first/build/windows/$exe" | cut -c1-16)...)"
  else
    echo "$exe: the two builds differ"
    cmp -l "$work/first/build/windows/$exe" "$work/second copy/build/windows/$exe" | head -5
    status=1
  fi
done
exit $status
