#!/usr/bin/env bash
# A whole tree into UTF-8: toutf8 with -j 1 and -j 2 against the loops a user writes without it,
# nkf --overwrite and iconv, one process a file, on the same seeded tree (tests/gen_tree.py):
#   bench/toutf8.sh VELKO_CLI [FILES] [LARGE] [LARGE_MB]   (defaults: 3000 files, 4 of 4 MB)
# Works on /dev/shm (the page cache alone), on fresh copies: toutf8 best of 5, the loops (a
# process a file, slow) once. Run by hand.
set -euo pipefail
velko=$(realpath "$1") files=${2:-3000} large=${3:-4} large_mb=${4:-4}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d /dev/shm/velko-tree.XXXXXX)
trap 'rm -rf -- "$work"' EXIT
python3 "$here/../tests/gen_tree.py" "$work/tree" --files "$files" --seed 11 --large "$large" \
  --large-size $((large_mb * 1000000))
bytes=$(find "$work/tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
count=$(find "$work/tree" -type f | wc -l)

nkf_loop() { find . -type f -exec nkf -w --overwrite {} \; ; }
iconv_loop() {
  find . -type f -print0 | while IFS= read -r -d '' f; do
    iconv -f CP932 -t UTF-8 "$f" >"$f.utf8" 2>/dev/null && mv "$f.utf8" "$f" || rm -f "$f.utf8"
  done
}
velko_j1() { "$velko" toutf8 -r -q -j 1 --backup=none . >/dev/null 2>&1 || true; }
velko_j2() { "$velko" toutf8 -r -q -j 2 --backup=none . >/dev/null 2>&1 || true; }

best() {  # best RUNNER N: the best wall time of N runs on fresh copies, in microseconds
  local b='' t0 t1 i
  for ((i = 0; i < $2; i++)); do
    rm -rf "$work/run" && cp -a "$work/tree" "$work/run"
    t0=${EPOCHREALTIME/[.,]/}
    (cd "$work/run" && "$1")
    t1=${EPOCHREALTIME/[.,]/}
    if [[ -z $b || $((t1 - t0)) -lt $b ]]; then b=$((t1 - t0)); fi
  done
  echo "$b"
}

declare -A took
runners=(velko_j1 velko_j2 iconv_loop)
command -v nkf >/dev/null && runners+=(nkf_loop) || echo "nkf is not installed: its row is left out"
for r in "${runners[@]}"; do took[$r]=$(best "$r" "$([[ $r == velko* ]] && echo 5 || echo 1)"); done
echo "$count files, $bytes bytes, $(nproc) cores"
printf '%-12s %10s %10s %14s\n' runner seconds MB/s "toutf8 -j 2 is"
for r in "${runners[@]}"; do
  LC_ALL=C awk -v r="$r" -v t="${took[$r]}" -v j2="${took[velko_j2]}" -v b="$bytes" 'BEGIN {
    printf "%-12s %10.3f %10.1f %13.2fx\n", r, t / 1e6, b / t, t / j2 }'
done
LC_ALL=C awk -v j1="${took[velko_j1]}" -v j2="${took[velko_j2]}" 'BEGIN {
  printf "-j 2 against -j 1: %.2fx\n", j1 / j2 }'
# What the machine gives two threads now: two CPU-bound processes at once against one (2.00x
# when two cores are free; other work on the machine makes it less).
head -c 100000000 /dev/zero >"$work/zeros"
t0=${EPOCHREALTIME/[.,]/}; sha256sum "$work/zeros" >/dev/null; t1=${EPOCHREALTIME/[.,]/}
sha256sum "$work/zeros" >/dev/null & sha256sum "$work/zeros" >/dev/null & wait
t2=${EPOCHREALTIME/[.,]/}
LC_ALL=C awk -v one=$((t1 - t0)) -v two=$((t2 - t1)) 'BEGIN {
  printf "two sha256sum at once against one: %.2fx the work per second\n", 2 * one / two }'
