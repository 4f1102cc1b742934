#!/usr/bin/env bash
# Many small files in place against one file of the same bytes, in one process:
#   bench/many_files.sh VELKO_CLI [FILES] [KB] [COMMAND]   (defaults: 1000 files of 100 KB, sjis2jis)
# Works in a folder on /dev/shm (the page cache alone: no disk behind the writes), best of 3
# fresh copies each; then, with strace, the system calls for all the files, by name.
set -euo pipefail
velko=$1 files=${2:-1000} kb=${3:-100} cmd=${4:-sjis2jis}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d /dev/shm/velko-many.XXXXXX)
trap 'rm -rf -- "$work"' EXIT
${CXX:-c++} -O2 -std=c++17 -o "$work/gen_text" "$here/gen_text.cpp"
bytes=$((files * kb * 1000))
"$work/gen_text" --prose $(((bytes + 999999) / 1000000)) 1 "$work/all.txt"
head -c "$bytes" "$work/all.txt" >"$work/one.txt"
mkdir "$work/parts"
# Cut at line ends so that every file is text of its own.
split -C "$((kb * 1000))" -d -a 6 --additional-suffix=.txt "$work/one.txt" "$work/parts/f"
count=$(find "$work/parts" -name '*.txt' | wc -l)
best() {  # best MODE: the best wall time of three runs on fresh copies, in seconds
  local b='' t0 t1 i
  for i in 1 2 3; do
    rm -rf "$work/run" && mkdir "$work/run"
    if [[ $1 == one ]]; then cp "$work/one.txt" "$work/run/"; else cp "$work/parts/"*.txt "$work/run/"; fi
    t0=${EPOCHREALTIME/[.,]/}
    "$velko" "$cmd" -q "$work/run/"*.txt >/dev/null 2>&1 || true
    t1=${EPOCHREALTIME/[.,]/}
    if [[ -z $b || $((t1 - t0)) -lt $b ]]; then b=$((t1 - t0)); fi
  done
  echo "$b"
}
one=$(best one)
many=$(best many)
LC_ALL=C awk -v one="$one" -v many="$many" -v bytes="$bytes" -v n="$count" 'BEGIN {
  printf "one file:  %d bytes in %.3f s, %.0f MB/s\n", bytes, one / 1e6, bytes / one
  printf "%d files: %d bytes in %.3f s, %.0f MB/s: %.2f of one file\n", n, bytes, many / 1e6, bytes / many, one / many
}'
if command -v strace >/dev/null; then
  rm -rf "$work/run" && mkdir "$work/run" && cp "$work/parts/"*.txt "$work/run/"
  strace -f -c -o "$work/calls" "$velko" "$cmd" -q "$work/run/"*.txt >/dev/null 2>&1 || true
  echo "system calls for $count files (strace -c):"
  awk 'NR > 2 && $NF != "total" && $0 !~ /^-/ { print "  " $NF ": " $4 }' "$work/calls" | sort -t: -k2 -nr | head -12
  awk -v n="$count" '$NF == "total" { printf "  total: %d (%.1f a file)\n", $4, $4 / n }' "$work/calls"
fi
