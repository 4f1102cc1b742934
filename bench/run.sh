#!/usr/bin/env bash
# Hand-run benchmark of velko-cli against the usual tools, on generated input:
#   sjis2jis  velko-cli sjis2jis vs nkf -j and iconv, Shift_JIS text
#   b64text   velko-cli b64text vs nkf -m, mail headers with encoded words
#   b64bin    velko-cli b64bin vs munpack and ripmime, a mail with Base64 attachments
# Every section also checks the peak RSS of velko-cli on a small and a large file.
#
#   bench/run.sh [BUILD_DIR] [sjis2jis|b64text|b64bin|all]     (defaults: build, all)
#
# Sizes are in MB (10^6 bytes) and can be changed through the environment:
#   BENCH_MB=100        file for the speed comparisons
#   BENCH_SMALL_MB=20   BENCH_LARGE_MB=200   files for the RSS comparisons (one run each)
#   BENCH_RUNS=3        runs per tool in the speed comparisons (best wall time counts)
#   BENCH_SEED=1        seed for gen_text and gen_mail
#   BENCH_SYNC=1        flush dirty pages before every timed run (0 to skip)
set -euo pipefail

usage() {  # the header comment above
  awk 'NR == 1 { next } /^#/ { sub(/^# ?/, ""); print; next } { exit }' "${BASH_SOURCE[0]}"
}
case "${1:-}" in -h|--help) usage; exit 0 ;; esac
if (($# > 2)); then usage >&2; exit 2; fi

is_section() { [[ $1 == sjis2jis || $1 == b64text || $1 == b64bin || $1 == all ]]; }
build_dir=build
section=all
if (($# == 2)); then
  build_dir=$1
  section=$2
elif (($# == 1)); then
  # A lone section name is the section; anything else is the build directory.
  if is_section "$1"; then section=$1; else build_dir=$1; fi
fi
is_section "$section" || { echo "run.sh: unknown section '$section'" >&2; usage >&2; exit 2; }
wants() { [[ $section == all || $section == "$1" ]]; }

bench_src=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
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
if wants sjis2jis || wants b64text; then command -v nkf >/dev/null 2>&1 || missing+=(nkf); fi
if wants sjis2jis; then command -v iconv >/dev/null 2>&1 || missing+=(libc-bin); fi
if wants b64bin; then
  command -v munpack >/dev/null 2>&1 || missing+=(mpack)
  command -v ripmime >/dev/null 2>&1 || missing+=(ripmime)
fi
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
build_gen() {  # build_gen NAME: bench/NAME.cpp into $bench_dir/NAME when stale
  local exe=$bench_dir/$1
  if [[ ! -x $exe || $bench_src/$1.cpp -nt $exe || $bench_src/rng.h -nt $exe ]]; then
    echo "building $exe"
    ${CXX:-c++} -O2 -std=c++17 -o "$exe" "$bench_src/$1.cpp"
  fi
}
gen_text=$bench_dir/gen_text
gen_mail=$bench_dir/gen_mail
if wants sjis2jis; then build_gen gen_text; fi
if wants b64text || wants b64bin; then build_gen gen_mail; fi

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

# Ratio verdict against a minimum: target_verdict RATIO MIN VELKO_NAME.
target_verdict() {
  if ((${res_rc[$3]} != 0)); then
    echo 'n/a, velko-cli failed'
  else
    LC_ALL=C awk -v r="$1" -v m="$2" 'BEGIN { print (r >= m ? "met" : "NOT met") }'
  fi
}

# speed_report MB MIN VELKO_NAME TARGET_NAME [OTHER_NAME...]: the table, then velko's speed
# ratio over each tool, the first held to the minimum MIN.
speed_report() {
  local mb=$1 min=$2 velko=$3 name ratio verdict
  shift 3
  echo
  echo "speed, $mb MB input:"
  print_table "$velko" "$@"
  echo
  for name in "$@"; do
    ratio=$(speed_ratio "$velko" "$name")
    verdict=''
    [[ $name == "$1" ]] && verdict="   (target >= ${min}x: $(target_verdict "$ratio" "$min" "$velko"))"
    printf '%-28s %sx%s\n' "velko speed / ${name%% *} speed:" "$ratio" "$verdict"
  done
}

# rss_report SMALL_NAME LARGE_NAME SMALL_MB LARGE_MB: the table and the 1 MiB check.
rss_report() {
  local small=$1 large=$2 small_mb=$3 large_mb=$4 d verdict
  echo
  print_table "$small" "$large"
  d=$((${res_rss[$large]} - ${res_rss[$small]}))
  verdict=$( ((d >= -1024 && d <= 1024)) && echo met || echo 'NOT met')
  ((${res_rc[$small]} == 0 && ${res_rc[$large]} == 0)) || verdict='n/a, velko-cli failed'
  echo
  echo "peak RSS $small_mb MB: ${res_rss[$small]} KiB, $large_mb MB: ${res_rss[$large]} KiB, difference: $d KiB   (target within 1024 KiB: $verdict)"
}

# fresh_copy SRC DIR [NAME]: DIR gets only an untouched copy of SRC, named NAME (text.txt),
# so each in-place run starts from the same state and no .BAK of an earlier run is left.
# shellcheck disable=SC2317  # called through bench_one --prep
fresh_copy() {
  rm -rf -- "$2"
  mkdir -p -- "$2"
  cp -- "$1" "$2/${3:-text.txt}"
}

# fresh_dir DIR: an empty output directory, so no tool meets files of an earlier run.
# shellcheck disable=SC2317  # called through bench_one --prep
fresh_dir() {
  rm -rf -- "$1"
  mkdir -p -- "$1"
}

size_of() { stat -c %s "$1"; }

generate() {  # generate FILE GENERATOR ARGS...: runs the generator, reports FILE's size
  local f=$1 t0 t1
  shift
  t0=$(now_us)
  "$@"
  t1=$(now_us)
  LC_ALL=C awk -v f="${f##*/}" -v b="$(size_of "$f")" -v us=$((t1 - t0)) \
    'BEGIN { printf "  generated %s: %d bytes in %.2f s\n", f, b, us / 1e6 }'
}

# Whatever .BAK velko left in DIR, compared with the original ORIG.
report_bak() {  # report_bak DIR ORIG
  local baks
  shopt -s nullglob
  baks=("$1"/*.BAK "$1"/*.bak)
  shopt -u nullglob
  if ((${#baks[@]} == 0)); then
    echo "  velko left no .BAK file beside its input"
  elif cmp -s "${baks[0]}" "$2"; then
    echo "  ${baks[0]##*/} matches the original input"
  else
    echo "  ${baks[0]##*/} differs from the original input"
  fi
}

# ---------------------------------------------------------------- sjis2jis

section_sjis2jis() {
  echo
  echo "== sjis2jis, $speed_mb MB text"
  local text=$tmp/text$speed_mb.txt work=$tmp/work bytes
  generate "$text" "$gen_text" "$speed_mb" "$seed" "$text"
  bytes=$(size_of "$text")

  local n_velko='velko-cli sjis2jis'
  local n_nkf='nkf -j'
  local n_iconv='iconv -c -f CP932 -t ISO-2022-JP'

  # shellcheck disable=SC2016  # --prep is eval'ed inside bench_one
  bench_one --bytes "$bytes" --prep 'fresh_copy "$text" "$work"' "$n_velko" "$velko" sjis2jis "$work/text.txt"
  ((${res_rc[$n_velko]} == 0)) || status=1
  bench_one --in "$text" --out "$tmp/nkf.out" "$n_nkf" nkf -j
  bench_one --in "$text" --out "$tmp/iconv.out" "$n_iconv" iconv -c -f CP932 -t ISO-2022-JP

  speed_report "$speed_mb" 15 "$n_velko" "$n_nkf" "$n_iconv"

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
  report_bak "$work" "$text"
  # iconv -c skips silently; a run without -c on the side shows whether anything was skipped.
  local skipped
  if skipped=$(iconv -f CP932 -t ISO-2022-JP <"$text" 2>&1 >/dev/null); then
    echo "  iconv mapped every input byte"
  else
    echo "  iconv cannot map all of the input (${skipped#iconv: }); -c skipped those bytes"
  fi
  rm -rf -- "$work" "$text" "$tmp/nkf.out" "$tmp/iconv.out"

  echo
  echo "memory, velko-cli sjis2jis on $small_mb MB and $large_mb MB:"
  local n_small="velko-cli sjis2jis $small_mb MB"
  local n_large="velko-cli sjis2jis $large_mb MB"
  local pair mb name f
  for pair in "$small_mb:$n_small" "$large_mb:$n_large"; do
    mb=${pair%%:*}
    name=${pair#*:}
    f=$tmp/text$mb.txt
    generate "$f" "$gen_text" "$mb" "$seed" "$f"
    # shellcheck disable=SC2016
    bench_one --runs 1 --bytes "$(size_of "$f")" --prep 'fresh_copy "$f" "$work"' "$name" "$velko" sjis2jis "$work/text.txt"
    ((${res_rc[$name]} == 0)) || status=1
    rm -rf -- "$work" "$f"
  done
  rss_report "$n_small" "$n_large" "$small_mb" "$large_mb"
}

# ---------------------------------------------------------------- b64text

# Lines still holding an encoded word the commands know; -a because the decoded text is
# 8-bit, and grep -c exits 1 on a zero count.
encoded_lines() {
  LC_ALL=C grep -a -c -i -E '=\?(iso-2022-jp|shift_jis)\?b\?' "$1" || true
}

section_b64text() {
  echo
  echo "== b64text, $speed_mb MB headers"
  local hdr=$tmp/headers$speed_mb.txt expected=$tmp/headers.expected work=$tmp/work bytes
  generate "$hdr" "$gen_mail" headers "$speed_mb" "$seed" "$hdr" "$expected"
  bytes=$(size_of "$hdr")

  local n_velko='velko-cli b64text'
  local n_nkf='nkf -m'

  # shellcheck disable=SC2016  # --prep is eval'ed inside bench_one
  bench_one --bytes "$bytes" --prep 'fresh_copy "$hdr" "$work" headers.txt' "$n_velko" "$velko" b64text "$work/headers.txt"
  ((${res_rc[$n_velko]} == 0)) || status=1
  bench_one --in "$hdr" --out "$tmp/nkf.out" "$n_nkf" nkf -m

  speed_report "$speed_mb" 10 "$n_velko" "$n_nkf"

  # The generator's decoded twin is what a pure expansion gives: every word replaced by its
  # bytes, line by line. nkf is not held to it: it also converts the charset to its own
  # output code and joins folded lines of encoded words.
  echo
  echo "sanity (informative):"
  echo "  input:        $bytes bytes, $(encoded_lines "$hdr") lines with an encoded word"
  echo "  velko output: $(size_of "$work/headers.txt") bytes, $(encoded_lines "$work/headers.txt") encoded words left${res_msg[$n_velko]:+   stdout: ${res_msg[$n_velko]}}"
  echo "  nkf output:   $(size_of "$tmp/nkf.out") bytes, $(encoded_lines "$tmp/nkf.out") encoded words left"
  echo "  expected:     $(size_of "$expected") bytes (generator's decoding)"
  local first
  if first=$(cmp -- "$work/headers.txt" "$expected" 2>&1); then
    echo "  velko output is identical to the expected decoding"
  else
    first=${first%%$'\n'*}
    echo "  velko output differs from the expected decoding (${first##*differ: })"
  fi
  report_bak "$work" "$hdr"
  rm -rf -- "$work" "$hdr" "$expected" "$tmp/nkf.out"

  echo
  echo "memory, velko-cli b64text on $small_mb MB and $large_mb MB:"
  local n_small="velko-cli b64text $small_mb MB"
  local n_large="velko-cli b64text $large_mb MB"
  local pair mb name f
  for pair in "$small_mb:$n_small" "$large_mb:$n_large"; do
    mb=${pair%%:*}
    name=${pair#*:}
    f=$tmp/headers$mb.txt
    generate "$f" "$gen_mail" headers "$mb" "$seed" "$f"
    # shellcheck disable=SC2016
    bench_one --runs 1 --bytes "$(size_of "$f")" --prep 'fresh_copy "$f" "$work" headers.txt' "$name" "$velko" b64text "$work/headers.txt"
    ((${res_rc[$name]} == 0)) || status=1
    rm -rf -- "$work" "$f"
  done
  rss_report "$n_small" "$n_large" "$small_mb" "$large_mb"
}

# ---------------------------------------------------------------- b64bin

# tally DIR MANIFEST: what a tool wrote, and how many of the generator's attachments are
# there with the right size (names compared case-blind: velko upper-cases them).
tally() {
  find "$1" -type f -printf '%f %s\n' | LC_ALL=C awk -v man="$2" '
    BEGIN { while ((getline l < man) > 0) { split(l, a, " "); want[tolower(a[1])] = a[2]; n++; total += a[2] } }
    { files++; bytes += $NF; k = tolower($1); if (k in want && want[k] == $NF) { ok++; ok_bytes += $NF } }
    END { printf "%d files, %d bytes; attachments %d of %d, %d of %d bytes%s\n", files, bytes, ok, n,
                 ok_bytes, total, (ok == n && ok_bytes == total ? "" : "   INCOMPLETE") }'
}

# same_attachments DIR REF MANIFEST: whether every attachment in DIR equals the one in REF.
same_attachments() {
  local name a b bad=0
  while read -r name _; do
    a=$1/$name
    [[ -f $a ]] || a=$1/${name^^}
    b=$2/$name
    [[ -f $b ]] || b=$2/${name^^}
    cmp -s -- "$a" "$b" || bad=$((bad + 1))
  done <"$3"
  if ((bad == 0)); then echo identical; else echo "$bad differ or are missing"; fi
}

section_b64bin() {
  echo
  echo "== b64bin, $speed_mb MB mail"
  local mail=$tmp/mail$speed_mb.eml manifest=$tmp/mail.manifest bytes sum_before
  generate "$mail" "$gen_mail" mail "$speed_mb" "$seed" "$mail" "$manifest"
  bytes=$(size_of "$mail")
  sum_before=$(cksum <"$mail")
  LC_ALL=C awk '{ n++; b += $2 } END { printf "  %d attachments, %d bytes decoded\n", n, b }' "$manifest"

  local n_velko='velko-cli b64bin'
  local n_munpack='munpack -q -C DIR'
  local n_ripmime='ripmime -i -d DIR'
  local d_velko=$tmp/out.velko d_munpack=$tmp/out.munpack d_ripmime=$tmp/out.ripmime

  # Each tool writes into a fresh empty directory; making it is not timed. munpack -C
  # changes directory before it opens the mail, which is fine: every path here is absolute.
  # shellcheck disable=SC2016  # --prep is eval'ed inside bench_one
  bench_one --bytes "$bytes" --out "$tmp/velko.saved" --prep 'fresh_dir "$d_velko"' \
    "$n_velko" "$velko" b64bin --dir "$d_velko" --exists overwrite "$mail"
  ((${res_rc[$n_velko]} == 0)) || status=1
  local n_decode='velko-cli b64bin --decode-names'
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_velko"' \
    "$n_decode" "$velko" b64bin --decode-names --dir "$d_velko" --exists overwrite "$mail"
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_munpack"' "$n_munpack" munpack -q -C "$d_munpack" "$mail"
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_ripmime"' "$n_ripmime" ripmime -i "$mail" -d "$d_ripmime"

  speed_report "$speed_mb" 3 "$n_velko" "$n_ripmime" "$n_munpack"
  local cost
  cost=$(LC_ALL=C awk -v a="${res_us[$n_decode]}" -v b="${res_us[$n_velko]}" 'BEGIN { printf "%+.1f", (a / b - 1) * 100 }')
  echo "b64bin --decode-names against b64bin: ${cost}% time   (target within 5%: $(LC_ALL=C awk -v c="$cost" 'BEGIN { print (c <= 5 ? "met" : "NOT met") }'))"

  # munpack also keeps the text part before an attachment as NAME.desc and ripmime saves
  # text parts as textfileN; those count as files written, not as attachments.
  echo
  echo "sanity (informative):"
  echo "  velko:   $(tally "$d_velko" "$manifest")"
  echo "  munpack: $(tally "$d_munpack" "$manifest")"
  echo "  ripmime: $(tally "$d_ripmime" "$manifest")"
  LC_ALL=C awk '/: saved \(/ { n++; s = $0; sub(/.*\(/, "", s); b += s + 0 }
                END { printf "  velko stdout: %d saved lines, %d bytes\n", n, b }' "$tmp/velko.saved"
  echo "  velko attachments vs munpack's:   $(same_attachments "$d_velko" "$d_munpack" "$manifest")"
  echo "  ripmime attachments vs munpack's: $(same_attachments "$d_ripmime" "$d_munpack" "$manifest")"
  if [[ $(cksum <"$mail") == "$sum_before" ]]; then
    echo "  the mail is unchanged"
  else
    echo "  the mail CHANGED during the runs"
  fi
  rm -rf -- "$d_velko" "$d_munpack" "$d_ripmime" "$mail" "$manifest" "$tmp/velko.saved"

  echo
  echo "memory, velko-cli b64bin on $small_mb MB and $large_mb MB:"
  local n_small="velko-cli b64bin $small_mb MB"
  local n_large="velko-cli b64bin $large_mb MB"
  local pair mb name f
  for pair in "$small_mb:$n_small" "$large_mb:$n_large"; do
    mb=${pair%%:*}
    name=${pair#*:}
    f=$tmp/mail$mb.eml
    generate "$f" "$gen_mail" mail "$mb" "$seed" "$f"
    # shellcheck disable=SC2016
    bench_one --runs 1 --bytes "$(size_of "$f")" --prep 'fresh_dir "$d_velko"' \
      "$name" "$velko" b64bin --dir "$d_velko" --exists overwrite "$f"
    ((${res_rc[$name]} == 0)) || status=1
    rm -rf -- "$d_velko" "$f"
  done
  rss_report "$n_small" "$n_large" "$small_mb" "$large_mb"
}

# ---------------------------------------------------------------- run

status=0
echo "VELKO benchmark  $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
echo "  host:    $(uname -sm), $(nproc) cpu, $(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //')"
echo "  velko:   $velko"
if wants sjis2jis || wants b64text; then
  echo "  nkf:     $(nkf --version 2>&1 | head -n 1 | sed 's/ *$//')"
fi
if wants sjis2jis; then echo "  iconv:   $(iconv --version 2>&1 | head -n 1)"; fi
if wants b64bin; then
  # munpack has no version option; the package knows.
  echo "  munpack: mpack $(dpkg-query -W -f '${Version}' mpack 2>/dev/null || echo '(version unknown)')"
  echo "  ripmime: $(ripmime --version 2>&1 | head -n 1)"
fi
echo "  section $section, seed $seed, $runs runs per tool, best wall time counts; MB = 10^6 bytes"

if wants sjis2jis; then section_sjis2jis; fi
if wants b64text; then section_b64text; fi
if wants b64bin; then section_b64bin; fi

if ((status != 0)); then
  echo
  echo "velko-cli exited non-zero; see the note column" >&2
fi
exit "$status"
