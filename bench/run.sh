#!/usr/bin/env bash
# Hand-run benchmark: velko-cli sjis2jis against nkf -j and iconv on generated Shift_JIS
# text, plus the peak-RSS check of velko-cli on a small and a large file.
#
#   bench/run.sh [BUILD_DIR]        (default: build)
#
# Sizes are in MB (10^6 bytes) and can be changed through the environment:
#   BENCH_MB=100        file for the speed comparison
#   BENCH_SMALL_MB=20   BENCH_LARGE_MB=200   files for the RSS comparison
#   BENCH_RUNS=3        runs per tool in the speed comparison (best wall time counts)
#   BENCH_SEED=1        seed for gen_text
#   BENCH_SYNC=1        flush dirty pages before every timed run (0 to skip)
set -euo pipefail

usage() {  # the header comment above
  awk 'NR == 1 { next } /^#/ { sub(/^# ?/, ""); print; next } { exit }' "${BASH_SOURCE[0]}"
}
case "${1:-}" in -h|--help) usage; exit 0 ;; esac
if (($# > 1)); then usage >&2; exit 2; fi

bench_src=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${1:-build}
[[ -d $build_dir ]] || { echo "run.sh: no build directory '$build_dir'; build first (cmake --build $build_dir)" >&2; exit 1; }
build_dir=$(cd "$build_dir" && pwd)

speed_mb=${BENCH_MB:-100}
small_mb=${BENCH_SMALL_MB:-20}
large_mb=${BENCH_LARGE_MB:-200}
runs=${BENCH_RUNS:-3}
seed=${BENCH_SEED:-1}
do_sync=${BENCH_SYNC:-1}

# ---------------------------------------------------------------- tools

# No pipe into grep -q here: with pipefail an early grep exit would read as failure.
gnu_time_ok() { [[ -x /usr/bin/time && $(/usr/bin/time --version 2>&1) == *GNU* ]]; }

missing=()
command -v nkf >/dev/null 2>&1 || missing+=(nkf)
command -v iconv >/dev/null 2>&1 || missing+=(libc-bin)
gnu_time_ok || missing+=(time)
if ((${#missing[@]})); then
  if ((EUID == 0)) && command -v apt-get >/dev/null 2>&1; then
    echo "installing: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
  else
    echo "run.sh: missing tools; install them first: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

velko=$build_dir/velko-cli
[[ -x $velko ]] || { echo "run.sh: $velko not found; build first (cmake --build $build_dir)" >&2; exit 1; }

bench_dir=$build_dir/bench
mkdir -p "$bench_dir"
gen=$bench_dir/gen_text
if [[ ! -x $gen || $bench_src/gen_text.cpp -nt $gen ]]; then
  echo "building $gen"
  ${CXX:-c++} -O2 -std=c++17 -o "$gen" "$bench_src/gen_text.cpp"
fi

tmp=$(mktemp -d "$bench_dir/run.XXXXXX")
trap 'rm -rf -- "$tmp"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# ---------------------------------------------------------------- measuring

# Microseconds since the epoch; EPOCHREALTIME avoids a fork per reading. Stripping the
# non-digits keeps it independent of the locale's decimal point.
now_us() {
  if [[ -n ${EPOCHREALTIME:-} ]]; then
    local t=${EPOCHREALTIME//[!0-9]/}
    echo "$t"
  else
    local t
    t=$(date +%s%N)
    echo $((t / 1000))
  fi
}

declare -A res_us res_rss res_rc res_bytes res_err res_msg

# bench_one [--in FILE] [--out FILE] [--prep CMD] [--runs N] [--bytes N] NAME CMD...
#   Runs CMD N times (default: BENCH_RUNS) and records the best wall time and the highest
#   peak RSS under NAME. --prep is eval'ed before every run, outside the timed region.
#   --in/--out redirect stdin/stdout; an old --out file is removed before each run so the
#   truncation is not timed. --bytes is the input size for MB/s (default: size of --in).
#   A non-zero exit is recorded, not fatal; the caller decides what it means.
bench_one() {
  local in=/dev/null out='' prep='' n=$runs bytes=''
  while (($#)); do
    case $1 in
      --in) in=$2; shift 2 ;;
      --out) out=$2; shift 2 ;;
      --prep) prep=$2; shift 2 ;;
      --runs) n=$2; shift 2 ;;
      --bytes) bytes=$2; shift 2 ;;
      *) break ;;
    esac
  done
  local name=$1; shift
  [[ -n $bytes ]] || bytes=$(stat -c %s "$in")
  local stdout_file=${out:-$tmp/stdout} stderr_file=$tmp/stderr rss_file=$tmp/rss
  local best='' peak=0 worst_rc=0 i t0 t1 us rc rss

  for ((i = 1; i <= n; i++)); do
    [[ -z $prep ]] || eval "$prep"
    rm -f -- "$stdout_file"
    ((do_sync == 0)) || sync
    rc=0
    t0=$(now_us)
    /usr/bin/time -f %M -o "$rss_file" "$@" <"$in" >"$stdout_file" 2>"$stderr_file" || rc=$?
    t1=$(now_us)
    us=$((t1 - t0))
    rss=$(tail -n 1 "$rss_file")
    [[ -n $best ]] && ((best <= us)) || best=$us
    ((rss <= peak)) || peak=$rss
    ((rc == 0)) || worst_rc=$rc
  done

  res_us[$name]=$best
  res_rss[$name]=$peak
  res_rc[$name]=$worst_rc
  res_bytes[$name]=$bytes
  res_err[$name]=$(head -n 1 "$stderr_file")
  if [[ -z $out ]]; then res_msg[$name]=$(tail -n 1 "$stdout_file"); else res_msg[$name]=''; fi
}

# Speed of A over speed of B, both on their own input sizes.
speed_ratio() {
  LC_ALL=C awk -v ba="${res_bytes[$1]}" -v ua="${res_us[$1]}" -v bb="${res_bytes[$2]}" -v ub="${res_us[$2]}" \
    'BEGIN { printf "%.2f", (ba / ua) / (bb / ub) }'
}

# print_table NAME...: one row per recorded benchmark.
print_table() {
  local name note
  printf '%-34s %9s %9s %14s  %s\n' tool seconds MB/s 'peak RSS KiB' note
  printf '%-34s %9s %9s %14s  %s\n' ---- ------- ---- ------------ ----
  for name in "$@"; do
    note=''
    ((${res_rc[$name]} == 0)) || note="exit ${res_rc[$name]}"
    [[ -z ${res_err[$name]} ]] || note="${note:+$note; }${res_err[$name]:0:60}"
    LC_ALL=C awk -v n="$name" -v us="${res_us[$name]}" -v b="${res_bytes[$name]}" \
      -v rss="${res_rss[$name]}" -v note="$note" \
      'BEGIN { s = us / 1e6; line = sprintf("%-34s %9.3f %9.1f %14d  %s", n, s, b / 1e6 / s, rss, note)
               sub(/ +$/, "", line); print line }'
  done
}

# fresh_copy SRC DIR: DIR gets only an untouched copy of SRC, named text.txt, so each
# in-place run starts from the same state and no .BAK of an earlier run is left around.
# shellcheck disable=SC2317  # called through bench_one --prep
fresh_copy() {
  rm -rf -- "$2"
  mkdir -p -- "$2"
  cp -- "$1" "$2/text.txt"
}

size_of() { stat -c %s "$1"; }

generate() {  # generate MB FILE
  local t0 t1
  t0=$(now_us)
  "$gen" "$1" "$seed" "$2"
  t1=$(now_us)
  LC_ALL=C awk -v f="${2##*/}" -v b="$(size_of "$2")" -v us=$((t1 - t0)) \
    'BEGIN { printf "  generated %s: %d bytes in %.2f s\n", f, b, us / 1e6 }'
}

# ---------------------------------------------------------------- run

status=0
echo "VELKO benchmark  $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
echo "  host:  $(uname -sm), $(nproc) cpu, $(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //')"
echo "  velko: $velko"
echo "  nkf:   $(nkf --version 2>&1 | head -n 1 | sed 's/ *$//')"
echo "  iconv: $(iconv --version 2>&1 | head -n 1)"
echo "  seed $seed, $runs runs per tool, best wall time counts; MB = 10^6 bytes"
echo

# -- speed: velko-cli sjis2jis vs nkf -j vs iconv
text=$tmp/text$speed_mb.txt
generate "$speed_mb" "$text"
bytes=$(size_of "$text")
work=$tmp/work

n_velko='velko-cli sjis2jis'
n_nkf='nkf -j'
n_iconv='iconv -c -f CP932 -t ISO-2022-JP'

# shellcheck disable=SC2016  # --prep is eval'ed inside bench_one
bench_one --bytes "$bytes" --prep 'fresh_copy "$text" "$work"' "$n_velko" "$velko" sjis2jis "$work/text.txt"
((${res_rc[$n_velko]} == 0)) || status=1
bench_one --in "$text" --out "$tmp/nkf.out" "$n_nkf" nkf -j
bench_one --in "$text" --out "$tmp/iconv.out" "$n_iconv" iconv -c -f CP932 -t ISO-2022-JP

echo
echo "speed, $speed_mb MB input:"
print_table "$n_velko" "$n_nkf" "$n_iconv"
r_nkf=$(speed_ratio "$n_velko" "$n_nkf")
r_iconv=$(speed_ratio "$n_velko" "$n_iconv")
verdict=$(LC_ALL=C awk -v r="$r_nkf" 'BEGIN { print (r >= 15 ? "met" : "NOT met") }')
((${res_rc[$n_velko]} == 0)) || verdict='n/a, velko-cli failed'
echo
echo "velko speed / nkf speed:   ${r_nkf}x   (target >= 15x: $verdict)"
echo "velko speed / iconv speed: ${r_iconv}x"

# Informative only: the tools legitimately differ (velko closes every double-byte run with
# ESC ( J and keeps half-width katakana as 8-bit bytes; iconv drops what it cannot map).
echo
echo "sanity (informative):"
echo "  input:        $bytes bytes"
echo "  velko output: $(size_of "$work/text.txt") bytes${res_msg[$n_velko]:+   stdout: ${res_msg[$n_velko]}}"
echo "  nkf output:   $(size_of "$tmp/nkf.out") bytes"
echo "  iconv output: $(size_of "$tmp/iconv.out") bytes"
if cmp -s "$work/text.txt" "$tmp/nkf.out"; then
  echo "  velko and nkf outputs are identical"
else
  echo "  velko and nkf outputs differ (escape choice, half-width katakana)"
fi
shopt -s nullglob
baks=("$work"/*.BAK "$work"/*.bak)
shopt -u nullglob
if ((${#baks[@]} == 0)); then
  echo "  velko left no .BAK file beside its input"
elif cmp -s "${baks[0]}" "$text"; then
  echo "  ${baks[0]##*/} matches the original input"
else
  echo "  ${baks[0]##*/} differs from the original input"
fi
# iconv -c skips silently; a run without -c on the side shows whether anything was skipped.
if skipped=$(iconv -f CP932 -t ISO-2022-JP <"$text" 2>&1 >/dev/null); then
  echo "  iconv mapped every input byte"
else
  echo "  iconv cannot map all of the input (${skipped#iconv: }); -c skipped those bytes"
fi
rm -rf -- "$work" "$text" "$tmp/nkf.out" "$tmp/iconv.out"

# -- memory: peak RSS of velko-cli on a small and a large file
echo
echo "memory, velko-cli sjis2jis on $small_mb MB and $large_mb MB:"
n_small="velko-cli sjis2jis $small_mb MB"
n_large="velko-cli sjis2jis $large_mb MB"
for pair in "$small_mb:$n_small" "$large_mb:$n_large"; do
  mb=${pair%%:*}
  name=${pair#*:}
  f=$tmp/text$mb.txt
  generate "$mb" "$f"
  # shellcheck disable=SC2016
  bench_one --runs 1 --bytes "$(size_of "$f")" --prep 'fresh_copy "$f" "$work"' "$name" "$velko" sjis2jis "$work/text.txt"
  ((${res_rc[$name]} == 0)) || status=1
  rm -rf -- "$work" "$f"
done
echo
print_table "$n_small" "$n_large"
d=$((${res_rss[$n_large]} - ${res_rss[$n_small]}))
verdict=$( ((d >= -1024 && d <= 1024)) && echo met || echo 'NOT met')
((${res_rc[$n_small]} == 0 && ${res_rc[$n_large]} == 0)) || verdict='n/a, velko-cli failed'
echo
echo "peak RSS $small_mb MB: ${res_rss[$n_small]} KiB, $large_mb MB: ${res_rss[$n_large]} KiB, difference: $d KiB   (target within 1024 KiB: $verdict)"

if ((status != 0)); then
  echo
  echo "velko-cli exited non-zero; see the note column" >&2
fi
exit "$status"
