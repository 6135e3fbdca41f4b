#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 30): bash scripts/fuzz.sh [SECONDS]. Longer: bash scripts/fuzz.sh 3600.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -I. $(xml2-config --cflags))
sources=(registration/command_line.cc registration/discovery.cc registration/manifest.cc platform/unicode.cc)
for target in command_line integer manifest; do
  clang++ "${flags[@]}" "fuzz/fuzz_$target.cc" "${sources[@]}" $(xml2-config --libs) -o "$out/fuzz_$target"
  work="$out/corpus_$target"
  mkdir -p "$work"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$out/fuzz_$target" -max_total_time="$seconds" -max_len=512 -artifact_prefix="$out/" \
      "$work" "fuzz/corpus/$target" > "$out/fuzz_$target.log" 2>&1; then
    tail -40 "$out/fuzz_$target.log"
    echo "fuzz_$target found a failure; the input is in $out/"
    exit 1
  fi
  grep -E '^Done' "$out/fuzz_$target.log"
done
