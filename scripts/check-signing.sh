#!/usr/bin/env bash
# Signs copies of the shipped .exe with a throw-away self-signed certificate,
# verifies the signatures against it, and runs the signed programs under Wine.
#   bash scripts/check-signing.sh build/windows
set -euo pipefail
cd "$(dirname "$0")/.."
built=${1:-build/windows}
work=$(mktemp -d /tmp/korvane-signing.XXXXXX)
export WINEPREFIX="$work/wine" WINEDEBUG=-all
trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true; rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Korvane test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
export KORVANE_SIGN_PASSWORD="a throw-away password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/test.pfx" \
  -passout env:KORVANE_SIGN_PASSWORD
for exe in korvane-register korvane-unregister; do
  cp "$built/$exe.exe" "$work/$exe.exe"
  bash scripts/sign.sh "$work/test.pfx" "$work/$exe.exe"
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$exe.exe" | grep -q "Signature verification: ok" ||
    { echo "$exe.exe: the signature does not verify"; exit 1; }
  # Signed, it still runs: the help request ends with -4 (252 through Wine).
  set +e
  out=$(/usr/lib/wine/wine64 "$work/$exe.exe" /? 2>/dev/null)
  status=$?
  set -e
  [ "$status" -eq 252 ] && grep -q "^$exe " <<<"$out" ||
    { echo "$exe.exe: signed, it did not run as it should (status $status)"; exit 1; }
  echo "$exe.exe: signed, verified against the test certificate, runs under Wine"
done
# A wrong password signs nothing.
cp "$built/korvane-register.exe" "$work/wrong.exe"
if KORVANE_SIGN_PASSWORD=wrong bash scripts/sign.sh "$work/test.pfx" "$work/wrong.exe" 2>/dev/null; then
  echo "signing with a wrong password succeeded"; exit 1
fi
cmp -s "$built/korvane-register.exe" "$work/wrong.exe" || { echo "a failed signing changed the file"; exit 1; }
