#!/usr/bin/env bash
# Builds the fuzz targets (clang, fuzz preset) and runs each for SECONDS (default 60), starting
# from its seed corpus in fuzz/corpus. New inputs go to a scratch folder, not the repository.
#
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(letter_stream decipher key_order)

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  echo "fuzz: $target for $seconds s"
  mkdir -p "$work/$target"
  "build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/$target-" "$work/$target" "fuzz/corpus/$target" 2>&1 |
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|Test unit written' ||
    true
  if ls "$work/$target-"* > /dev/null 2>&1; then
    mkdir -p fuzz/found
    cp "$work/$target-"* fuzz/found/
    echo "fuzz: $target failed; the input is in fuzz/found/" >&2
    exit 1
  fi
done
