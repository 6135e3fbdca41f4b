#!/usr/bin/env bash
# A shipped .exe: x86-64, stripped, at most 256 KiB, importing Windows system
# DLLs only, with its application manifest (asInvoker) and version resource.
set -euo pipefail
exe=$1
dump=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-x86-64' <<<"$dump" || { echo "not an x86-64 program"; exit 1; }
allowed='^(kernel32|shell32|msvcrt|advapi32|user32|ntdll|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
bad=0
while read -r dll; do
  if ! grep -qiE "$allowed" <<<"$dll"; then echo "imports a DLL that is not the system's: $dll"; bad=1; fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
size=$(stat -c %s "$exe")
[ "$size" -le 262144 ] || { echo "the .exe is $size bytes, over 256 KiB"; bad=1; }
if x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug_'; then echo "the .exe holds debug sections"; bad=1; fi
if [ -n "$(x86_64-w64-mingw32-nm "$exe" 2>/dev/null)" ]; then echo "the .exe holds symbols"; bad=1; fi
grep -aq 'requestedExecutionLevel level="asInvoker"' "$exe" || { echo "no asInvoker manifest"; bad=1; }
grep -aq 'F.i.l.e.V.e.r.s.i.o.n' "$exe" || { echo "no version resource"; bad=1; }
[ $bad -eq 0 ] && echo "$(basename "$exe"): $size bytes, imports: $(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
exit $bad
