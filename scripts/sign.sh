#!/usr/bin/env bash
# Signs each FILE in place with Authenticode (SHA-256), with the key and
# certificate of a PKCS#12 file:
#   KORVANE_SIGN_PASSWORD=... bash scripts/sign.sh PFX FILE...
# KORVANE_SIGN_PASSWORD holds the PFX's password; it is read from a pipe, never
# from the command line. When KORVANE_SIGN_TIMESTAMP_URL names an RFC 3161
# time-stamp server, the signature is time-stamped there, so that it stays
# valid after the certificate expires.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: KORVANE_SIGN_PASSWORD=... bash scripts/sign.sh PFX FILE..." >&2
  exit 2
fi
pfx=$1
shift
: "${KORVANE_SIGN_PASSWORD?set KORVANE_SIGN_PASSWORD to the password of $pfx}"
for file in "$@"; do
  args=(sign -pkcs12 "$pfx" -readpass - -h sha256 -n "Korvane add-in registration"
        -in "$file" -out "$file.signed")
  if [ -n "${KORVANE_SIGN_TIMESTAMP_URL:-}" ]; then args+=(-ts "$KORVANE_SIGN_TIMESTAMP_URL"); fi
  if ! printf '%s' "$KORVANE_SIGN_PASSWORD" | osslsigncode "${args[@]}" >/dev/null; then
    rm -f "$file.signed"
    echo "could not sign $file" >&2
    exit 1
  fi
  mv "$file.signed" "$file"
  echo "signed: $file"
done
