#!/usr/bin/env bash
# Times the tool against the I/O floor (and, optionally, the literal yardstick) on a generated
# ciphertext, interleaved, and prints medians, MB/s, ratios and peak memory.
#
#   bench/run.sh [BYTES] [RUNS] [literal] [crack] [encipher] [unsynced] [utf8] [mixed]
#
# BYTES defaults to 256 MiB, RUNS to 7. Beside the cat + dd floor, copy (copy8 for UTF-8) is the
# floor as one program, bench/copy_floor: the file read once in chunks of 256 KiB, as many bytes
# written as the plaintext has; the tool's ratio to it is printed too, with its CPU time and
# peak memory over five more runs. With $BENCH_BASE, another build's decipher, base (base8 on
# UTF-8) times that one too, interleaved with the rest: a before and after in one run. Binaries come from build/release (configure it with
# -DDECIPHER_BUILD_BENCH=ON). The work folder is $BENCH_DIR, default /tmp/decipher-bench.
# With $BENCH_TEXT, a file of Windows-1251 text, the plaintext is its letters over and over
# instead of random ones; crack needs that, to have a key to find. encipher makes a Crypt.txt
# of its own from Plain.txt, in the subfolder enc/, which decipher must then undo. unsynced
# is encipher with its fsync calls made no-ops by eatmydata (Debian package eatmydata), to
# show what putting the new Crypt.txt on the disk costs. utf8 runs decipher on the same
# ciphertext in UTF-8, in the subfolder utf8/, and gives the ratio of its time to that on the
# Windows-1251 file. mixed needs $BENCH_MIXED, a UTF-8 text (real text: blanks, punctuation,
# dashes, Latin): its lines, ended CR LF, are repeated to the nearest BYTES of UTF-8 in mixed/u8 and
# the same text in Windows-1251 in mixed/w1 (what Windows-1251 lacks dropped from both), and
# decipher runs on each in turn as it is, which gives the ratio of the two encodings on text
# that is not letters alone (base8m and base1m time $BENCH_BASE the same way).
set -euo pipefail
size=${1:-268435456}
runs=${2:-7}
extra=("${@:3}")
key=ABCDEFGHI
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build/release
dir=${BENCH_DIR:-/tmp/decipher-bench}
mkdir -p "$dir"
cd "$dir"

"$bin/bench/make_crypt" "$size" "$key" Plain.txt ${BENCH_TEXT:+"$BENCH_TEXT"} > Crypt.txt 2>/dev/null
letters=$(LC_ALL=C tr -cd '\300-\377' < Crypt.txt | wc -c)
cat Crypt.txt > /dev/null
echo "$key" | "$bin/decipher" > /dev/null
cmp -s Plain.txt Decrypt.txt || { echo "bench: decipher output differs from the plaintext" >&2; exit 1; }

# Seconds taken by a command, from bash's microsecond clock. BENCH_SYNC=1 syncs first, which
# lets the last run's writeback finish, so that no run waits on the one before; it also
# makes emptying the old Decrypt.txt dearer, for every contender alike.
seconds() {
  [ "${BENCH_SYNC:-0}" = 0 ] || sync
  local start=$EPOCHREALTIME
  "$@" > /dev/null
  local end=$EPOCHREALTIME
  awk -v us=$((${end/./} - ${start/./})) 'BEGIN { printf "%.6f\n", us / 1e6 }'
}
floor() {
  cat Crypt.txt > /dev/null
  dd if=Crypt.txt of=Decrypt.txt bs=1M count="$letters" iflag=count_bytes status=none
}
copy() { "$bin/bench/copy_floor" Crypt.txt Decrypt.txt "$letters"; }
tool() { echo "$key" | "$bin/decipher"; }
literal() { echo "$key" | "$bin/bench/literal_decipher"; }
crack() { "$bin/crack"; }
encipher() { (cd enc && echo "$key" | "$bin/encipher"); }
unsynced() { (cd enc && echo "$key" | eatmydata "$bin/encipher"); }
mkdir -p enc && ln -f Plain.txt enc/Plain.txt
utf8() { (cd utf8 && echo "$key" | "$bin/decipher"); }
base() { echo "$key" | "$BENCH_BASE"; }
base8() { (cd utf8 && echo "$key" | "$BENCH_BASE"); }
copy8() { (cd utf8 && "$bin/bench/copy_floor" Crypt.txt Decrypt.txt $((2 * letters))); }
floor8() {
  (cd utf8 && cat Crypt.txt > /dev/null &&
    dd if=Crypt.txt of=Decrypt.txt bs=1M count=$((2 * letters)) iflag=count_bytes status=none)
}
if [[ " ${extra[*]} " == *" utf8 "* ]]; then
  mkdir -p utf8
  # Written in 1 MiB pieces, as make_crypt writes: a file written in small ones is cached in
  # small folios, and reading it back takes the kernel twice as long.
  iconv -f WINDOWS-1251 -t UTF-8 Crypt.txt | dd of=utf8/Crypt.txt bs=1M iflag=fullblock status=none
  iconv -f WINDOWS-1251 -t UTF-8 Plain.txt > utf8/Plain.txt
fi
mixed8() { (cd mixed/u8 && echo "$key" | "$bin/decipher" 2> /dev/null); }
mixed1() { (cd mixed/w1 && echo "$key" | "$bin/decipher" 2> /dev/null); }
base8m() { (cd mixed/u8 && echo "$key" | "$BENCH_BASE" 2> /dev/null); }
base1m() { (cd mixed/w1 && echo "$key" | "$BENCH_BASE" 2> /dev/null); }
if [[ " ${extra[*]} " == *" mixed "* ]]; then
  [ -n "${BENCH_MIXED:-}" ] || { echo "bench: mixed needs BENCH_MIXED, a UTF-8 text" >&2; exit 1; }
  mkdir -p mixed/u8 mixed/w1
  iconv -c -f UTF-8 -t WINDOWS-1251 "$BENCH_MIXED" | iconv -f WINDOWS-1251 -t UTF-8 |
    sed -e 's/\r$//' -e 's/$/\r/' > mixed/once.txt
  once=$(wc -c < mixed/once.txt)
  copies=$(((size + once / 2) / once))
  ((copies > 0)) || copies=1
  for ((i = 0; i < copies; i++)); do cat mixed/once.txt; done |
    dd of=mixed/u8/Crypt.txt bs=1M iflag=fullblock status=none
  iconv -f UTF-8 -t WINDOWS-1251 mixed/u8/Crypt.txt |
    dd of=mixed/w1/Crypt.txt bs=1M iflag=fullblock status=none
fi
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The UTF-8 run has a floor of its own, the same copy of its own bytes, timed before it (each
# leaves its Decrypt.txt, and the tool's is checked after the runs).
names=(floor copy tool)
[ -z "${BENCH_BASE:-}" ] || names+=(base)
for name in "${extra[@]}"; do
  [ "$name" != utf8 ] || names+=(floor8 copy8)
  [ "$name" != utf8 ] || [ -z "${BENCH_BASE:-}" ] || names+=(base8)
  if [ "$name" = mixed ]; then
    names+=(mixed1 mixed8)
    [ -z "${BENCH_BASE:-}" ] || names+=(base1m base8m)
    continue
  fi
  names+=("$name")
done
declare -A times
for ((r = 0; r < runs; r++)); do
  for name in "${names[@]}"; do
    times[$name]+="$(seconds "$name") "
  done
done
cmp -s Plain.txt Decrypt.txt || { echo "bench: output differs after the runs" >&2; exit 1; }
if [[ " ${extra[*]} " == *" encipher "* ]]; then
  (cd enc && echo "$key" | "$bin/decipher" > /dev/null && cmp -s Plain.txt Decrypt.txt) ||
    { echo "bench: encipher's Crypt.txt does not decipher to Plain.txt" >&2; exit 1; }
fi
if [[ " ${extra[*]} " == *" utf8 "* ]]; then
  (cd utf8 && cmp -s Plain.txt Decrypt.txt) ||
    { echo "bench: decipher on the UTF-8 Crypt.txt does not give the UTF-8 Plain.txt" >&2; exit 1; }
  utf8_memory=$( { cd utf8 && /usr/bin/time -f %M "$bin/decipher" <<< "$key" > /dev/null; } 2>&1 | tail -n 1)
fi
if [[ " ${extra[*]} " == *" mixed "* ]]; then
  iconv -f UTF-8 -t WINDOWS-1251 mixed/u8/Decrypt.txt | cmp -s - mixed/w1/Decrypt.txt ||
    { echo "bench: decipher gives other letters on the mixed text in UTF-8" >&2; exit 1; }
fi
if [[ " ${extra[*]} " == *" crack "* ]]; then
  crack > /dev/null
  cmp -s Plain.txt Decrypt.txt || { echo "bench: crack did not find the key" >&2; exit 1; }
  crack_memory=$( { /usr/bin/time -f %M "$bin/crack" > /dev/null; } 2>&1 | tail -n 1)
fi

memory=$( { /usr/bin/time -f %M "$bin/decipher" <<< "$key" > /dev/null; } 2>&1 | tail -n 1)
# CPU seconds (user + system), median of five runs, and the most resident memory among them.
cpu() {
  local lines
  lines=$(for ((i = 0; i < 5; i++)); do
    { (cd "$1" && /usr/bin/time -f '%U %S %M' "${2:-$bin/decipher}" <<< "$key" > /dev/null); } 2>&1 | tail -n 1
  done)
  printf '%s s CPU, %s KiB\n' "$(awk '{ printf "%.3f\n", $1 + $2 }' <<< "$lines" | median)" \
    "$(awk '$3 > m { m = $3 } END { print m }' <<< "$lines")"
}
tool_cpu=$(cpu .)
[ -z "${BENCH_BASE:-}" ] || base_cpu=$(cpu . "$BENCH_BASE")
[[ " ${extra[*]} " != *" utf8 "* ]] || utf8_cpu=$(cpu utf8)
[[ " ${extra[*]} " != *" mixed "* ]] || mixed8_cpu=$(cpu mixed/u8 2> /dev/null)
[[ " ${extra[*]} " != *" mixed "* ]] || mixed1_cpu=$(cpu mixed/w1 2> /dev/null)
[[ " ${extra[*]} " != *" utf8 "* ]] || [ -z "${BENCH_BASE:-}" ] || base8_cpu=$(cpu utf8 "$BENCH_BASE")
floor_s=$(tr ' ' '\n' <<< "${times[floor]}" | grep . | median)
printf 'input %d bytes (%d letters), %d runs, %s\n' "$size" "$letters" "$runs" \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
for name in "${names[@]}"; do
  t=$(tr ' ' '\n' <<< "${times[$name]}" | grep . | median)
  awk -v n="$name" -v t="$t" -v f="$floor_s" -v s="$size" \
    'BEGIN { printf "%-8s median %8.4f s  %8.1f MB/s  %6.2f x floor\n", n, t, s / t / 1e6, t / f }'
done
copy_s=$(tr ' ' '\n' <<< "${times[copy]}" | grep . | median)
awk -v a="$(tr ' ' '\n' <<< "${times[tool]}" | grep . | median)" -v b="$copy_s" \
  'BEGIN { printf "decipher takes %.3f x the time of copy_floor\n", a / b }'
echo "decipher: $tool_cpu"
[ -z "${BENCH_BASE:-}" ] || echo "base: $base_cpu"
if [[ " ${extra[*]} " == *" utf8 "* ]]; then
  awk -v a="$(tr ' ' '\n' <<< "${times[utf8]}" | grep . | median)" \
    -v b="$(tr ' ' '\n' <<< "${times[copy8]}" | grep . | median)" -v c="$copy_s" \
    'BEGIN { printf "decipher on UTF-8 takes %.3f x copy_floor on UTF-8, %.3f x copy_floor on Windows-1251\n", a / b, a / c }'
  echo "decipher on UTF-8: $utf8_cpu"
  [ -z "${BENCH_BASE:-}" ] || echo "base on UTF-8: $base8_cpu"
fi
[[ " ${extra[*]} " == *" literal "* ]] && awk -v a="$(tr ' ' '\n' <<< "${times[literal]}" | grep . | median)" \
  -v b="$(tr ' ' '\n' <<< "${times[tool]}" | grep . | median)" \
  'BEGIN { printf "tool is %.1f x faster than the literal yardstick\n", a / b }'
[[ " ${extra[*]} " == *" crack "* ]] && awk -v a="$(tr ' ' '\n' <<< "${times[crack]}" | grep . | median)" \
  -v b="$(tr ' ' '\n' <<< "${times[tool]}" | grep . | median)" \
  'BEGIN { printf "crack takes %.2f x the time of decipher with the key\n", a / b }'
[[ " ${extra[*]} " == *" encipher "* ]] && awk -v a="$(tr ' ' '\n' <<< "${times[encipher]}" | grep . | median)" \
  -v b="$(tr ' ' '\n' <<< "${times[tool]}" | grep . | median)" \
  'BEGIN { printf "encipher takes %.2f x the time of decipher\n", a / b }'
[[ " ${extra[*]} " == *" unsynced "* ]] && awk -v a="$(tr ' ' '\n' <<< "${times[encipher]}" | grep . | median)" \
  -v b="$(tr ' ' '\n' <<< "${times[unsynced]}" | grep . | median)" \
  'BEGIN { printf "encipher with fsync takes %.2f x its time without\n", a / b }'
[[ " ${extra[*]} " == *" utf8 "* ]] && awk -v a="$(tr ' ' '\n' <<< "${times[utf8]}" | grep . | median)" \
  -v b="$(tr ' ' '\n' <<< "${times[tool]}" | grep . | median)" -v u="$(wc -c < utf8/Crypt.txt)" -v s="$size" \
  -v f="$(tr ' ' '\n' <<< "${times[floor8]}" | grep . | median)" -v g="$floor_s" \
  'BEGIN { printf "decipher on UTF-8 (%.2f x the bytes) takes %.2f x its time on Windows-1251 (floor %.2f x)\n", u / s, a / b, f / g }'
if [[ " ${extra[*]} " == *" mixed "* ]]; then
  ratio() {
    awk -v a="$(tr ' ' '\n' <<< "${times[$1]}" | grep . | median)" \
      -v b="$(tr ' ' '\n' <<< "${times[$2]}" | grep . | median)" 'BEGIN { printf "%.2f", a / b }'
  }
  awk -v u="$(wc -c < mixed/u8/Crypt.txt)" -v w="$(wc -c < mixed/w1/Crypt.txt)" \
    'BEGIN { printf "mixed text: %d bytes in UTF-8, %d in Windows-1251\n", u, w }'
  echo "decipher on mixed UTF-8 takes $(ratio mixed8 mixed1) x its time on the same text in Windows-1251"
  [ -z "${BENCH_BASE:-}" ] || echo "base on mixed UTF-8 takes $(ratio base8m base1m) x its time on Windows-1251"
  echo "decipher on mixed UTF-8: $mixed8_cpu; on Windows-1251: $mixed1_cpu"
fi
echo "decipher peak memory: $memory KiB"
[ -z "${utf8_memory:-}" ] || echo "decipher peak memory on UTF-8: $utf8_memory KiB"
[ -z "${crack_memory:-}" ] || echo "crack peak memory: $crack_memory KiB"
