#!/usr/bin/env bash
# Hand-run benchmark of velko-cli against the usual tools and against cat, on generated input:
#   nec2jis   velko-cli nec2jis, Shift_JIS text with NEC ruled lines (no peer: cat only)
#   jis2nec   velko-cli jis2nec, the same text after nec2jis (no peer: cat only)
#   sjis2jis  velko-cli sjis2jis vs nkf -j and iconv, Shift_JIS text
#   jis2sjis  velko-cli jis2sjis vs nkf -s, the same text after sjis2jis
#   sjis2utf8 velko-cli sjis2utf8 vs iconv, ICU uconv and nkf -w, Shift_JIS text
#   utf82sjis velko-cli utf82sjis vs iconv, ICU uconv and nkf -s, the same text after sjis2utf8
#   utf82jis  velko-cli utf82jis vs iconv, ICU uconv and nkf -j, the same text after sjis2utf8
#             (the three: encoding_rs and Python's codecs too, where they are here)
#   b64text   velko-cli b64text vs nkf -m, mail headers with encoded words
#   b64bin    velko-cli b64bin vs ripmime and munpack, a mail with Base64 attachments
#   mbox      velko-cli b64bin on an mbox of 10,000 messages (1 GB) vs ripmime and munpack run
#             once per message (the mbox split into files beforehand, untimed)
#   kernels   bench/kernels.cpp: every kernel on every instruction set the CPU runs, in memory,
#             on both corpora (MB/s only; no peer, no files written)
# Every other section also times cat FILE > OUT on its input (the cost of the bytes alone) and
# checks the peak RSS of velko-cli on a small and a large file. A Markdown summary ends it.
#
#   bench/run.sh [BUILD_DIR] [SECTION|all] [--quick] [--prose|--both]   (defaults: build, all)
#
# --quick: 20 MB inputs, best of 2, RSS on 2 MB and 20 MB; under a minute for all.
# The four text sections read one of two generated corpora: mixed (the default; ASCII words
# and short double-byte runs taking turns) or prose (Japanese-like prose with long runs and
# now and then a table of NEC ruled lines). --prose runs them on prose, --both on each in
# turn, with a summary table per corpus. The mail sections are the same either way.
# Sizes are in MB (10^6 bytes) and can be changed through the environment:
#   BENCH_MB=100        file for the speed comparisons (quick: 20)
#   BENCH_SMALL_MB=20   BENCH_LARGE_MB=200   files for the RSS comparisons (quick: 2, 20)
#   BENCH_MBOX_MB=1000  the mbox, one message per 100 KB (quick: 100); RSS on a tenth of it
#   BENCH_RUNS=3        runs per tool in the speed comparisons, best wall time counts (quick: 2)
#   BENCH_SEED=1        seed for gen_text and gen_mail
#   BENCH_CORPUS=mixed  corpus for the text sections: mixed, prose or both (as the flags)
#   BENCH_SYNC=1        flush dirty pages before every timed run (0 to skip)
#   VELKO_ISA=avx2      the kernels velko-cli uses: scalar, sse2 or avx2 (default: the widest
#                       the CPU runs); the header names the set in use
# The tools compared against are not installed here: run.sh names what is missing.
set -euo pipefail

usage() {  # the header comment above
  awk 'NR == 1 { next } /^#/ { sub(/^# ?/, ""); print; next } { exit }' "${BASH_SOURCE[0]}"
}

sections=(nec2jis jis2nec sjis2jis jis2sjis sjis2utf8 utf82sjis utf82jis b64text b64bin mbox kernels)
text_sections=(nec2jis jis2nec sjis2jis jis2sjis sjis2utf8 utf82sjis utf82jis)
is_section() {
  local s
  for s in "${sections[@]}" all; do [[ $1 == "$s" ]] && return 0; done
  return 1
}

quick=0
corpus_choice=${BENCH_CORPUS:-mixed}
args=()
for a in "$@"; do
  case $a in
    -h|--help) usage; exit 0 ;;
    --quick) quick=1 ;;
    --prose) corpus_choice=prose ;;
    --both) corpus_choice=both ;;
    *) args+=("$a") ;;
  esac
done
case $corpus_choice in
  mixed|prose) corpora=("$corpus_choice") ;;
  both) corpora=(mixed prose) ;;
  *) echo "run.sh: unknown corpus '$corpus_choice' (mixed, prose or both)" >&2; exit 2 ;;
esac
corpus=${corpora[0]}  # the one the text sections are reading now
set -- ${args[@]+"${args[@]}"}
if (($# > 2)); then usage >&2; exit 2; fi

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
wants_any() {
  local s
  for s; do wants "$s" && return 0; done
  return 1
}

bench_src=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[[ -d $build_dir ]] || { echo "run.sh: no build directory '$build_dir'; build first (cmake --build $build_dir)" >&2; exit 1; }
build_dir=$(cd "$build_dir" && pwd)

if ((quick)); then
  speed_mb=${BENCH_MB:-20}
  small_mb=${BENCH_SMALL_MB:-2}
  large_mb=${BENCH_LARGE_MB:-20}
  runs=${BENCH_RUNS:-2}
else
  speed_mb=${BENCH_MB:-100}
  small_mb=${BENCH_SMALL_MB:-20}
  large_mb=${BENCH_LARGE_MB:-200}
  runs=${BENCH_RUNS:-3}
fi
seed=${BENCH_SEED:-1}
do_sync=${BENCH_SYNC:-1}

# ---------------------------------------------------------------- tools

# No pipe into grep -q here: with pipefail an early grep exit would read as failure.
gnu_time_ok() { [[ -x /usr/bin/time && $(/usr/bin/time --version 2>&1) == *GNU* ]]; }

missing=()
if wants_any sjis2jis jis2sjis sjis2utf8 utf82sjis utf82jis b64text; then
  command -v nkf >/dev/null 2>&1 || missing+=(nkf)
fi
if wants_any sjis2jis sjis2utf8 utf82sjis utf82jis; then command -v iconv >/dev/null 2>&1 || missing+=(libc-bin); fi
if wants_any sjis2utf8 utf82sjis utf82jis; then command -v uconv >/dev/null 2>&1 || missing+=(icu-devtools); fi
if wants_any b64bin mbox; then
  command -v munpack >/dev/null 2>&1 || missing+=(mpack)
  command -v ripmime >/dev/null 2>&1 || missing+=(ripmime)
fi
gnu_time_ok || missing+=(time)
if ((${#missing[@]})); then
  echo "run.sh: missing tools; install them first: apt-get install ${missing[*]}" >&2
  exit 1
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
limit=$bench_dir/limit
build_gen limit
if wants_any "${text_sections[@]}" kernels; then build_gen gen_text; fi
if wants_any b64text b64bin mbox; then build_gen gen_mail; fi

# encoding_rs and Python's codecs: peers of the commands to and from UTF-8 where they are here
# (encoding_rs built from Debian's crate: apt-get install cargo librust-encoding-rs-dev).
encoding_rs=''
if wants_any sjis2utf8 utf82sjis utf82jis; then
  if command -v cargo >/dev/null 2>&1 && compgen -G '/usr/share/cargo/registry/encoding_rs-*' >/dev/null; then
    if (cd "$bench_src/encoding_rs" && CARGO_TARGET_DIR=$bench_dir/cargo cargo build -q --release) >/dev/null 2>&1; then
      encoding_rs=$bench_dir/cargo/release/encoding_rs_peer
    fi
  fi
  [[ -n $encoding_rs ]] || echo "run.sh: encoding_rs left out (apt-get install cargo librust-encoding-rs-dev)" >&2
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

# Results are keyed SECTION|LABEL, so every section can have its own cat row; tables show
# the label only.
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

label() { echo "${1#*|}"; }        # SECTION|LABEL -> LABEL
tool_of() { local l=${1#*|}; echo "${l%% *}"; }  # first word of the label

# velko_ok NAME: a velko run that failed makes the script's exit status non-zero.
velko_ok() { ((${res_rc[$1]} == 0)) || status=1; }

mb_per_s() {
  LC_ALL=C awk -v b="${res_bytes[$1]}" -v us="${res_us[$1]}" 'BEGIN { printf "%.1f", b / us }'
}

# Speed of A over speed of B, both on their own input sizes.
speed_ratio() {
  LC_ALL=C awk -v ba="${res_bytes[$1]}" -v ua="${res_us[$1]}" -v bb="${res_bytes[$2]}" -v ub="${res_us[$2]}" \
    'BEGIN { printf "%.2f", (ba / ua) / (bb / ub) }'
}

# print_table NAME...: one row per recorded benchmark.
print_table() {
  local name note
  printf '%-36s %9s %9s %14s  %s\n' tool seconds MB/s 'peak RSS KiB' note
  printf '%-36s %9s %9s %14s  %s\n' ---- ------- ---- ------------ ----
  for name in "$@"; do
    note=''
    ((${res_rc[$name]} == 0)) || note="exit ${res_rc[$name]}"
    [[ -z ${res_err[$name]} ]] || note="${note:+$note; }${res_err[$name]:0:60}"
    LC_ALL=C awk -v n="$(label "$name")" -v us="${res_us[$name]}" -v b="${res_bytes[$name]}" \
      -v rss="${res_rss[$name]}" -v note="$note" \
      'BEGIN { s = us / 1e6; line = sprintf("%-36s %9.3f %9.1f %14d  %s", n, s, b / 1e6 / s, rss, note)
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

# speed_report MIN VELKO_NAME TARGET_NAME [OTHER_NAME...]: the table, then velko's speed
# ratio over each tool, the first held to the minimum MIN.
speed_report() {
  local min=$1 velko=$2 name ratio verdict
  shift 2
  # Beside cat, the read-copy-write limit run_cat measured with it.
  local last=${!#}
  [[ $last != *"|cat FILE > OUT" ]] || set -- "$@" "${last%%|*}|limit FILE > OUT"
  echo
  echo "speed, $(LC_ALL=C awk -v b="${res_bytes[$velko]}" 'BEGIN { printf "%.1f", b / 1e6 }') MB input, best of $runs:"
  print_table "$velko" "$@"
  echo
  for name in "$@"; do
    ratio=$(speed_ratio "$velko" "$name")
    verdict=''
    [[ $name == "$1" ]] && verdict="   (target >= ${min}x: $(target_verdict "$ratio" "$min" "$velko"))"
    printf '%-30s %sx%s\n' "velko speed / $(tool_of "$name") speed:" "$ratio" "$verdict"
  done
}

# summarize SECTION MIN VELKO CAT [PEER PEER_SHOWN]: the section's row of the closing table.
# velko is held to MIN times the speed of PEER, or of cat where there is no peer.
# Rows and checks start with the corpus they belong to, or * when the corpus does not
# matter (the mail sections), so each corpus gets a table of its own.
scope=$corpus
summary_rows=()
summarize() {
  local sec=$1 min=$2 velko=$3 cat=$4 peer=${5:-} shown=${6:-} target=$4 target_shown=cat
  local peer_speed=- peer_ratio=-
  if [[ -n $peer ]]; then
    peer_speed=$(mb_per_s "$peer")
    peer_ratio=$(speed_ratio "$velko" "$peer")x
    target=$peer
    target_shown=$shown
  else
    shown=-
  fi
  local limit="${cat%%|*}|limit FILE > OUT"
  summary_rows+=("$scope	$sec	$(mb_per_s "$velko")	$shown	$peer_speed	$(mb_per_s "$cat")	$(mb_per_s "$limit")	$peer_ratio	$(speed_ratio "$velko" "$cat")x	$(speed_ratio "$velko" "$limit")x	>= ${min}x $target_shown	$(target_verdict "$(speed_ratio "$velko" "$target")" "$min" "$velko")")
}
extra_checks=()  # one line each, listed under the closing table

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
  extra_checks+=("$scope	$(label "${small% * MB}") peak RSS, $small_mb MB ${res_rss[$small]} KiB, $large_mb MB ${res_rss[$large]} KiB: difference $d KiB (target within 1024 KiB): $verdict")
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

# same_or_first_diff A B: "identical" or where the two files first differ.
same_or_first_diff() {
  local first
  if first=$(cmp -- "$1" "$2" 2>&1); then
    echo identical
  else
    first=${first%%$'\n'*}
    echo "differ (${first##*: })"
  fi
}

# run_cat SECTION FILE: the floor for SECTION, reading FILE and writing it out again: cat, and
# the limit of a converter (bench/limit.cpp: read() 64 KiB, memcpy, write()).
run_cat() {
  bench_one --bytes "$(size_of "$2")" --out "$tmp/cat.out" "$1|cat FILE > OUT" cat "$2"
  bench_one --bytes "$(size_of "$2")" --out "$tmp/cat.out" "$1|limit FILE > OUT" "$limit" "$2"
  rm -f -- "$tmp/cat.out"
}

# run_inplace [--runs N] NAME FILE COMMAND: velko-cli COMMAND on a fresh copy of FILE in
# $tmp/work (named after FILE's kind), as users run it.
run_inplace() {
  local n=$runs
  if [[ $1 == --runs ]]; then n=$2; shift 2; fi
  local name=$1 file=$2 cmd=$3 base=text.txt
  [[ $cmd == b64text ]] && base=headers.txt
  # shellcheck disable=SC2016  # --prep is eval'ed inside bench_one, where these are in scope
  bench_one --runs "$n" --bytes "$(size_of "$file")" --prep 'fresh_copy "$file" "$tmp/work" "$base"' \
    "$name" "$velko" "$cmd" "$tmp/work/$base"
  velko_ok "$name"
}

# ---------------------------------------------------------------- inputs

# The text sections share one generated text per size, of the corpus being run; the JIS
# forms are derived from it by velko-cli itself (untimed), so each command reads what the
# one before it writes.
need_text() {  # need_text MB: $tmp/text$MB.txt
  local f=$tmp/text$1.txt
  [[ -f $f ]] && return 0
  if [[ $corpus == prose ]]; then
    generate "$f" "$gen_text" --prose "$1" "$seed" "$f"
  else
    generate "$f" "$gen_text" "$1" "$seed" "$f"
  fi
}

# derive MB COMMAND OUT: velko-cli COMMAND on a copy of the text of MB, kept as OUT.
derive() {
  local src=$tmp/text$1.txt d=$tmp/derive
  need_text "$1"
  fresh_copy "$src" "$d"
  "$velko" -q "$2" "$d/text.txt" ||
    { echo "run.sh: velko-cli $2 failed on the generated text; cannot make the input" >&2; exit 1; }
  mv -- "$d/text.txt" "$3"
  rm -rf -- "$d"
  echo "  made ${3##*/} from ${src##*/} with velko-cli $2: $(size_of "$3") bytes"
}
need_ruled() {  # need_ruled MB: $tmp/ruled$MB.txt, JIS ruled lines only
  [[ -f $tmp/ruled$1.txt ]] || derive "$1" nec2jis "$tmp/ruled$1.txt"
}
need_jis() {  # need_jis MB: $tmp/jis$MB.txt, 7-bit JIS
  [[ -f $tmp/jis$1.txt ]] || derive "$1" sjis2jis "$tmp/jis$1.txt"
}
need_utf8() {  # need_utf8 MB: $tmp/utf8$MB.txt, UTF-8
  [[ -f $tmp/utf8$1.txt ]] || derive "$1" sjis2utf8 "$tmp/utf8$1.txt"
}

# input_for COMMAND MB: makes COMMAND's input of MB if needed and sets input to its path.
# Not a command substitution: the generators' lines belong on stdout, and a failure must stop
# the script.
input_for() {
  case $1 in
    nec2jis|sjis2jis|sjis2utf8) need_text "$2"; input=$tmp/text$2.txt ;;
    utf82sjis|utf82jis) need_utf8 "$2"; input=$tmp/utf8$2.txt ;;
    jis2nec) need_ruled "$2"; input=$tmp/ruled$2.txt ;;
    jis2sjis) need_jis "$2"; input=$tmp/jis$2.txt ;;
  esac
}

# rss_check COMMAND: peak RSS of velko-cli COMMAND on the small and the large input.
rss_check() {
  local cmd=$1 mb name f
  echo
  echo "memory, velko-cli $cmd on $small_mb MB and $large_mb MB:"
  for mb in "$small_mb" "$large_mb"; do
    name="$cmd|velko-cli $cmd $mb MB"
    case $cmd in
      b64text)
        f=$tmp/headers$mb.txt
        generate "$f" "$gen_mail" headers "$mb" "$seed" "$f"
        run_inplace --runs 1 "$name" "$f" b64text
        rm -f -- "$f"
        ;;
      b64bin)
        f=$tmp/mail$mb.eml
        generate "$f" "$gen_mail" mail "$mb" "$seed" "$f"
        # shellcheck disable=SC2016
        bench_one --runs 1 --bytes "$(size_of "$f")" --prep 'fresh_dir "$tmp/out.velko"' \
          "$name" "$velko" b64bin --dir "$tmp/out.velko" --exists overwrite "$f"
        velko_ok "$name"
        rm -rf -- "$tmp/out.velko" "$f"
        ;;
      *)
        input_for "$cmd" "$mb"
        run_inplace --runs 1 "$name" "$input" "$cmd"
        ;;
    esac
  done
  rm -rf -- "$tmp/work"
  rss_report "$cmd|velko-cli $cmd $small_mb MB" "$cmd|velko-cli $cmd $large_mb MB" "$small_mb" "$large_mb"
}

# ---------------------------------------------------------------- nec2jis, jis2nec

# Bytes that differ between two files of the same size; -l gives one line per byte.
changed_bytes() { { cmp -l -- "$1" "$2" 2>/dev/null || true; } | wc -l; }

# ruled_section COMMAND: both ruled-line commands. No other tool does this exchange, so the
# target is against cat: at least a quarter of its speed.
ruled_section() {
  local sec=$1 what f bytes out changed
  if [[ $sec == nec2jis ]]; then what='Shift_JIS text'; else what='text after nec2jis (JIS ruled lines only)'; fi
  echo
  echo "== $sec, $speed_mb MB $what, $corpus corpus"
  input_for "$sec" "$speed_mb"
  f=$input
  bytes=$(size_of "$f")

  local n_velko="$sec|velko-cli $sec" n_cat="$sec|cat FILE > OUT"
  run_inplace "$n_velko" "$f" "$sec"
  run_cat "$sec" "$f"
  speed_report 0.25 "$n_velko" "$n_cat"
  summarize "$sec" 0.25 "$n_velko" "$n_cat"

  # The exchange is two bytes for two bytes, so the size must stay; the changed bytes show
  # that ruled lines were found (in mixed about 5% of the characters are of each kind, in
  # prose about 3% are NEC ones).
  out=$tmp/work/text.txt
  changed=$(changed_bytes "$f" "$out")
  echo
  echo "sanity (informative):"
  echo "  input:         $bytes bytes"
  echo "  velko output:  $(size_of "$out") bytes, $( [[ $(size_of "$out") == "$bytes" ]] && echo 'the same size' || echo 'SIZE CHANGED')${res_msg[$n_velko]:+   stdout: ${res_msg[$n_velko]}}"
  echo "  bytes changed: $changed ($(LC_ALL=C awk -v c="$changed" -v b="$bytes" 'BEGIN { printf "%.1f", 100 * c / b }')% of the input)"
  report_bak "$tmp/work" "$f"
  rm -rf -- "$tmp/work"

  rss_check "$sec"
  rm -f -- "$tmp"/ruled*.txt
}

section_nec2jis() { ruled_section nec2jis; }
section_jis2nec() { ruled_section jis2nec; }

# ---------------------------------------------------------------- sjis2jis

section_sjis2jis() {
  echo
  echo "== sjis2jis, $speed_mb MB Shift_JIS text, $corpus corpus"
  local text bytes
  input_for sjis2jis "$speed_mb"
  text=$input
  bytes=$(size_of "$text")

  local n_velko='sjis2jis|velko-cli sjis2jis'
  local n_nkf='sjis2jis|nkf -j'
  local n_iconv='sjis2jis|iconv -c -f CP932 -t ISO-2022-JP'
  local n_cat='sjis2jis|cat FILE > OUT'

  run_inplace "$n_velko" "$text" sjis2jis
  bench_one --in "$text" --out "$tmp/nkf.out" "$n_nkf" nkf -j
  bench_one --in "$text" --out "$tmp/iconv.out" "$n_iconv" iconv -c -f CP932 -t ISO-2022-JP
  run_cat sjis2jis "$text"

  speed_report 25 "$n_velko" "$n_nkf" "$n_iconv" "$n_cat"
  summarize sjis2jis 25 "$n_velko" "$n_cat" "$n_nkf" 'nkf -j'

  # Informative only: the tools legitimately differ (velko closes every double-byte run with
  # ESC ( J and keeps half-width katakana as 8-bit bytes; iconv drops what it cannot map).
  local work=$tmp/work
  echo
  echo "sanity (informative):"
  echo "  input:        $bytes bytes"
  echo "  velko output: $(size_of "$work/text.txt") bytes${res_msg[$n_velko]:+   stdout: ${res_msg[$n_velko]}}"
  echo "  nkf output:   $(size_of "$tmp/nkf.out") bytes"
  echo "  iconv output: $(size_of "$tmp/iconv.out") bytes"
  if cmp -s "$work/text.txt" "$tmp/nkf.out"; then
    echo "  velko and nkf outputs are identical"
  else
    echo "  velko and nkf outputs differ (escape choice; half-width katakana in mixed)"
  fi
  report_bak "$work" "$text"
  # iconv -c skips silently; a run without -c on the side shows whether anything was skipped.
  local skipped
  if skipped=$(iconv -f CP932 -t ISO-2022-JP <"$text" 2>&1 >/dev/null); then
    echo "  iconv mapped every input byte"
  else
    echo "  iconv cannot map all of the input (${skipped#iconv: }); -c skipped those bytes"
  fi
  rm -rf -- "$work" "$tmp/nkf.out" "$tmp/iconv.out"

  rss_check sjis2jis
}

# ---------------------------------------------------------------- jis2sjis

section_jis2sjis() {
  echo
  echo "== jis2sjis, the $speed_mb MB Shift_JIS text after sjis2jis, $corpus corpus"
  local jis bytes text=$tmp/text$speed_mb.txt
  input_for jis2sjis "$speed_mb"
  jis=$input
  bytes=$(size_of "$jis")

  local n_velko='jis2sjis|velko-cli jis2sjis'
  local n_nkf='jis2sjis|nkf -s'
  local n_cat='jis2sjis|cat FILE > OUT'

  run_inplace "$n_velko" "$jis" jis2sjis
  bench_one --in "$jis" --out "$tmp/nkf.out" "$n_nkf" nkf -s
  run_cat jis2sjis "$jis"

  speed_report 20 "$n_velko" "$n_nkf" "$n_cat"
  summarize jis2sjis 20 "$n_velko" "$n_cat" "$n_nkf" 'nkf -s'

  # The input is velko's own JIS of the generated text, so velko must give that text back.
  # nkf is not held to it: it turns half-width katakana into full-width ones.
  local work=$tmp/work
  echo
  echo "sanity (informative):"
  echo "  input:        $bytes bytes of JIS, from ${text##*/} ($(size_of "$text") bytes)"
  echo "  velko output: $(size_of "$work/text.txt") bytes; round trip, against ${text##*/}: $(same_or_first_diff "$work/text.txt" "$text")${res_msg[$n_velko]:+   stdout: ${res_msg[$n_velko]}}"
  echo "  nkf output:   $(size_of "$tmp/nkf.out") bytes; against ${text##*/}: $(same_or_first_diff "$tmp/nkf.out" "$text")"
  report_bak "$work" "$jis"
  rm -rf -- "$work" "$tmp/nkf.out"

  rss_check jis2sjis
  rm -f -- "$tmp"/jis*.txt
}

# ---------------------------------------------------------------- sjis2utf8, utf82sjis

# fastest NAME...: the one of the runs named that took the least time.
fastest() {
  local best=$1 name
  for name; do ((${res_us[$name]} >= ${res_us[$best]})) || best=$name; done
  echo "$best"
}

# unicode_section COMMAND: Shift_JIS to UTF-8 or back against the three peers, each writing
# what it cannot map as its replacement, not stopping. velko-cli is held to five times the
# speed of the fastest of them in this run.
unicode_section() {
  local sec=$1 f bytes text=$tmp/text$speed_mb.txt
  local what='Shift_JIS text' from=CP932 to=UTF-8 nkf_flags='-S -w -x' callback=--from-callback
  local rs='decode Shift_JIS' py_from=cp932 py_to=utf-8
  if [[ $sec == utf82sjis ]]; then
    what='text after sjis2utf8' from=UTF-8 to=CP932 nkf_flags='-W -s -x' callback=--to-callback
    rs='encode Shift_JIS' py_from=utf-8 py_to=cp932
  elif [[ $sec == utf82jis ]]; then
    what='text after sjis2utf8' from=UTF-8 to=ISO-2022-JP nkf_flags='-W -j -x' callback=--to-callback
    rs='encode ISO-2022-JP' py_from=utf-8 py_to=iso2022_jp
  fi
  echo
  echo "== $sec, $speed_mb MB $what, $corpus corpus"
  input_for "$sec" "$speed_mb"
  f=$input
  bytes=$(size_of "$f")

  local n_velko="$sec|velko-cli $sec" n_cat="$sec|cat FILE > OUT"
  local n_iconv="$sec|iconv -c -f $from -t $to" n_uconv="$sec|uconv -f $from -t $to"
  local n_nkf="$sec|nkf $nkf_flags"
  run_inplace "$n_velko" "$f" "$sec"
  bench_one --in "$f" --out "$tmp/iconv.out" "$n_iconv" iconv -c -f "$from" -t "$to"
  bench_one --in "$f" --out "$tmp/uconv.out" "$n_uconv" uconv "$callback" substitute -f "$from" -t "$to"
  # shellcheck disable=SC2086  # the flags are words
  bench_one --in "$f" --out "$tmp/nkf.out" "$n_nkf" nkf $nkf_flags
  local peers=("$n_iconv" "$n_uconv" "$n_nkf") n_rs="$sec|encoding_rs $rs" n_py="$sec|python3 $py_from to $py_to"
  if [[ -n $encoding_rs ]]; then
    # shellcheck disable=SC2086  # the mode and the label are words
    bench_one --in "$f" --out "$tmp/rs.out" "$n_rs" "$encoding_rs" $rs
    peers+=("$n_rs")
  fi
  bench_one --in "$f" --out "$tmp/py.out" "$n_py" python3 -c \
    "import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode('$py_from', 'replace').encode('$py_to', 'replace'))"
  peers+=("$n_py")
  run_cat "$sec" "$f"

  local best
  best=$(fastest "${peers[@]}")
  local others=()
  for name in "${peers[@]}"; do [[ $name == "$best" ]] || others+=("$name"); done
  speed_report 5 "$n_velko" "$best" "${others[@]}" "$n_cat"
  summarize "$sec" 5 "$n_velko" "$n_cat" "$best" "$(label "$best")"

  # The peers have no PC-98 ruled lines and write a replacement for each; where they map,
  # velko must agree with ICU. The way back must give the Shift_JIS text: with --pc98 byte
  # for byte, as the ruled lines were PC-98 ones.
  local work=$tmp/work out=$tmp/work/text.txt
  echo
  echo "sanity (informative):"
  echo "  input:         $bytes bytes${res_msg[$n_velko]:+   stdout: ${res_msg[$n_velko]}}"
  echo "  velko output:  $(size_of "$out") bytes; against uconv's: $(same_or_first_diff "$out" "$tmp/uconv.out")"
  echo "  lines that differ from uconv's: $(diff -a "$out" "$tmp/uconv.out" | grep -c '^<' || true)"
  if [[ $sec == utf82sjis ]]; then
    "$velko" utf82sjis --pc98 -o "$tmp/back.txt" "$f" >/dev/null
    echo "  utf82sjis --pc98 against the Shift_JIS text: $(same_or_first_diff "$tmp/back.txt" "$text")"
    rm -f -- "$tmp/back.txt"
  fi
  report_bak "$work" "$f"
  rm -rf -- "$work" "$tmp/iconv.out" "$tmp/uconv.out" "$tmp/nkf.out" "$tmp/rs.out" "$tmp/py.out"

  rss_check "$sec"
}

section_sjis2utf8() { unicode_section sjis2utf8; }
section_utf82sjis() { unicode_section utf82sjis; }
section_utf82jis() { unicode_section utf82jis; rm -f -- "$tmp"/utf8*.txt; }

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

  local n_velko='b64text|velko-cli b64text'
  local n_nkf='b64text|nkf -m'
  local n_cat='b64text|cat FILE > OUT'

  run_inplace "$n_velko" "$hdr" b64text
  bench_one --in "$hdr" --out "$tmp/nkf.out" "$n_nkf" nkf -m
  run_cat b64text "$hdr"

  speed_report 20 "$n_velko" "$n_nkf" "$n_cat"
  summarize b64text 20 "$n_velko" "$n_cat" "$n_nkf" 'nkf -m'

  # The generator's decoded twin is what a pure expansion gives: every word replaced by its
  # bytes, line by line. nkf is not held to it: it also converts the charset to its own
  # output code and joins folded lines of encoded words.
  echo
  echo "sanity (informative):"
  echo "  input:        $bytes bytes, $(encoded_lines "$hdr") lines with an encoded word"
  echo "  velko output: $(size_of "$work/headers.txt") bytes, $(encoded_lines "$work/headers.txt") encoded words left${res_msg[$n_velko]:+   stdout: ${res_msg[$n_velko]}}"
  echo "  nkf output:   $(size_of "$tmp/nkf.out") bytes, $(encoded_lines "$tmp/nkf.out") encoded words left"
  echo "  expected:     $(size_of "$expected") bytes (generator's decoding)"
  echo "  velko output and the expected decoding: $(same_or_first_diff "$work/headers.txt" "$expected")"
  report_bak "$work" "$hdr"
  rm -rf -- "$work" "$hdr" "$expected" "$tmp/nkf.out"

  rss_check b64text
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

  local n_velko='b64bin|velko-cli b64bin'
  local n_decode='b64bin|velko-cli b64bin --decode-names'
  local n_munpack='b64bin|munpack -q -C DIR'
  local n_ripmime='b64bin|ripmime -i -d DIR'
  local n_cat='b64bin|cat FILE > OUT'
  local d_velko=$tmp/out.velko d_munpack=$tmp/out.munpack d_ripmime=$tmp/out.ripmime

  # Each tool writes into a fresh empty directory; making it is not timed. munpack -C
  # changes directory before it opens the mail, which is fine: every path here is absolute.
  # shellcheck disable=SC2016  # --prep is eval'ed inside bench_one
  bench_one --bytes "$bytes" --out "$tmp/velko.saved" --prep 'fresh_dir "$d_velko"' \
    "$n_velko" "$velko" b64bin --dir "$d_velko" --exists overwrite "$mail"
  velko_ok "$n_velko"
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_velko"' \
    "$n_decode" "$velko" b64bin --decode-names --dir "$d_velko" --exists overwrite "$mail"
  velko_ok "$n_decode"
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_munpack"' "$n_munpack" munpack -q -C "$d_munpack" "$mail"
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_ripmime"' "$n_ripmime" ripmime -i "$mail" -d "$d_ripmime"
  run_cat b64bin "$mail"

  speed_report 5 "$n_velko" "$n_ripmime" "$n_munpack" "$n_cat"
  summarize b64bin 5 "$n_velko" "$n_cat" "$n_ripmime" ripmime
  local cost verdict
  cost=$(LC_ALL=C awk -v a="${res_us[$n_decode]}" -v b="${res_us[$n_velko]}" 'BEGIN { printf "%+.1f", (a / b - 1) * 100 }')
  verdict=$(LC_ALL=C awk -v c="$cost" 'BEGIN { print (c <= 5 ? "met" : "NOT met") }')
  ((${res_rc[$n_decode]} == 0)) || verdict='n/a, velko-cli failed'
  echo "b64bin --decode-names against b64bin: ${cost}% time   (target within 5%: $verdict)"
  extra_checks+=("$scope	velko-cli b64bin --decode-names: ${cost}% time against b64bin (target within 5%): $verdict")

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

  rss_check b64bin
}

# ---------------------------------------------------------------- mbox

# split_mbox MBOX DIR: one file a message, for the tools that read one message at a time.
split_mbox() {
  mkdir -p "$2"
  LC_ALL=C awk -v dir="$2" '/^From / { if (f) close(f); f = sprintf("%s/%06d.eml", dir, ++n) } { print > f }' "$1"
}

section_mbox() {
  local mb=${BENCH_MBOX_MB:-1000}
  ((quick)) && mb=${BENCH_MBOX_MB:-100}
  echo
  echo "== mbox, $mb MB, one message per 100 KB"
  local mbox=$tmp/inbox.mbox manifest=$tmp/mbox.manifest split=$tmp/split bytes
  generate "$mbox" "$gen_mail" mbox "$mb" "$seed" "$mbox" "$manifest"
  bytes=$(size_of "$mbox")
  split_mbox "$mbox" "$split"
  echo "  $(ls "$split" | wc -l) messages, $(wc -l <"$manifest") attachments"

  local n_velko='mbox|velko-cli b64bin --dir DIR MBOX'
  local n_ripmime='mbox|ripmime -i MSG -d DIR, each message'
  local n_munpack='mbox|munpack -q -C DIR MSG, each message'
  local n_cat='mbox|cat FILE > OUT'
  local d_velko=$tmp/out.velko d_ripmime=$tmp/out.ripmime d_munpack=$tmp/out.munpack
  # shellcheck disable=SC2016  # --prep is eval'ed inside bench_one
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_velko"' \
    "$n_velko" "$velko" b64bin -q --dir "$d_velko" --exists overwrite --manifest "$tmp/velko.tsv" "$mbox"
  velko_ok "$n_velko"
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_ripmime"' "$n_ripmime" \
    sh -c 'for f in "$1"/*; do ripmime -i "$f" -d "$2" || exit 1; done' sh "$split" "$d_ripmime"
  # shellcheck disable=SC2016
  bench_one --bytes "$bytes" --prep 'fresh_dir "$d_munpack"' "$n_munpack" \
    sh -c 'for f in "$1"/*; do munpack -q -C "$2" "$f" >/dev/null || exit 1; done' sh "$split" "$d_munpack"
  run_cat mbox "$mbox"
  speed_report 1 "$n_velko" "$n_ripmime" "$n_munpack" "$n_cat"
  summarize mbox 1 "$n_velko" "$n_cat" "$n_ripmime" ripmime

  echo
  echo "sanity (informative):"
  echo "  velko:   $(tally "$d_velko" "$manifest"); manifest rows: $(($(wc -l <"$tmp/velko.tsv") - 1))"
  echo "  ripmime: $(tally "$d_ripmime" "$manifest")"
  echo "  munpack: $(tally "$d_munpack" "$manifest")"
  echo "  velko attachments vs munpack's: $(same_attachments "$d_velko" "$d_munpack" "$manifest")"
  rm -rf -- "$d_velko" "$d_ripmime" "$d_munpack" "$split" "$tmp/velko.tsv"

  # Peak RSS on a tenth of the mbox and on all of it.
  local small=$tmp/small.mbox
  generate "$small" "$gen_mail" mbox "$((mb / 10))" "$seed" "$small"
  for f in "$small" "$mbox"; do
    # shellcheck disable=SC2016
    bench_one --runs 1 --bytes "$(size_of "$f")" --prep 'fresh_dir "$d_velko"' \
      "mbox|velko-cli b64bin $(($(size_of "$f") / 1000000)) MB" "$velko" b64bin -q --dir "$d_velko" \
      --exists overwrite "$f"
    rm -rf -- "$d_velko"
  done
  rss_report "mbox|velko-cli b64bin $(($(size_of "$small") / 1000000)) MB" \
    "mbox|velko-cli b64bin $(($(size_of "$mbox") / 1000000)) MB" "$((mb / 10))" "$mb"
  rm -f -- "$mbox" "$small" "$manifest"
}

# ---------------------------------------------------------------- kernels

section_kernels() {
  echo
  echo "== kernels, in memory, $speed_mb MB of each corpus"
  cmake --build "$build_dir" --target velko_kernel_bench >/dev/null
  local args=() c f
  for c in mixed prose; do
    f=$tmp/kernels-$c.txt
    if [[ $c == prose ]]; then
      generate "$f" "$gen_text" --prose "$speed_mb" "$seed" "$f"
    else
      generate "$f" "$gen_text" "$speed_mb" "$seed" "$f"
    fi
    args+=("$c=$f")
  done
  "$build_dir/velko_kernel_bench" "${args[@]}"
  rm -f -- "$tmp"/kernels-*.txt
}

# ---------------------------------------------------------------- summary

# The closing table in Markdown, columns padded so it reads in the terminal as well.
# print_summary CORPUS: the rows and checks of CORPUS and the shared ones; an empty CORPUS
# when no text section ran.
print_summary() {
  local want=$1 r tag rows=() checks=() shared=0 title='mail input'
  [[ -z $want ]] || title="$want corpus"
  for r in ${summary_rows[@]+"${summary_rows[@]}"}; do
    tag=${r%%	*}
    if [[ $tag == '*' ]]; then shared=1; fi
    if [[ -z $want || $tag == "$want" || $tag == '*' ]]; then rows+=("${r#*	}"); fi
  done
  for r in ${extra_checks[@]+"${extra_checks[@]}"}; do
    tag=${r%%	*}
    if [[ -z $want || $tag == "$want" || $tag == '*' ]]; then checks+=("${r#*	}"); fi
  done
  ((${#rows[@]})) || return 0
  echo
  echo "== summary, $title: $velko, $speed_mb MB inputs, best of $runs, MB = 10^6 bytes of input"
  echo
  {
    printf 'command\tvelko MB/s\tpeer\tpeer MB/s\tcat MB/s\tlimit MB/s\tvelko/peer\tvelko/cat\tvelko/limit\ttarget\tverdict\n'
    printf '%s\n' "${rows[@]}"
  } | LC_ALL=C awk -F '\t' '
    { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } nf = NF; n = NR }
    function row(r,   i, s) { s = "|"; for (i = 1; i <= nf; i++) s = s " " sprintf(num[i] ? "%" w[i] "s" : "%-" w[i] "s", cell[r, i]) " |"; print s }
    END {
      for (i = 2; i <= 9; i++) num[i] = (i != 3)
      row(1)
      s = "|"; for (i = 1; i <= nf; i++) { d = ""; while (length(d) < w[i]) d = d "-"; s = s (num[i] ? " " substr(d, 2) ": |" : " " d " |") }
      print s
      for (r = 2; r <= n; r++) row(r)
    }'
  if ((${#checks[@]})); then
    echo
    printf -- '- %s\n' "${checks[@]}"
  fi
  if ((${#corpora[@]} > 1 && shared)) && [[ -n $want ]]; then
    echo
    echo "b64text and b64bin read generated mail, whatever the corpus: measured once, in both tables."
  fi
}

# ---------------------------------------------------------------- run

status=0
started=$(now_us)
echo "VELKO benchmark  $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
echo "  host:    $(uname -sm), $(nproc) cpu, $(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | sed 's/.*: //')"
echo "  velko:   $velko ($("$velko" --version | tail -n 1))"
if wants_any sjis2jis jis2sjis sjis2utf8 utf82sjis utf82jis b64text; then
  echo "  nkf:     $(nkf --version 2>&1 | head -n 1 | sed 's/ *$//')"
fi
if wants_any sjis2jis sjis2utf8 utf82sjis utf82jis; then echo "  iconv:   $(iconv --version 2>&1 | head -n 1)"; fi
if wants_any sjis2utf8 utf82sjis utf82jis; then echo "  uconv:   $(uconv --version 2>&1 | head -n 1)"; fi
if wants b64bin; then
  # munpack has no version option; the package knows.
  echo "  munpack: mpack $(dpkg-query -W -f '${Version}' mpack 2>/dev/null || echo '(version unknown)')"
  echo "  ripmime: $(ripmime --version 2>&1 | head -n 1)"
fi
corpus_note=''
if wants_any "${text_sections[@]}"; then
  if ((${#corpora[@]} > 1)); then corpus_note=', text corpora mixed and prose'; else corpus_note=", text corpus $corpus"; fi
fi
echo "  section $section$( ((quick)) && echo ', quick')$corpus_note, seed $seed, $runs runs per tool, best wall time counts; MB = 10^6 bytes"

for corpus in "${corpora[@]}"; do
  scope=$corpus
  if wants nec2jis; then section_nec2jis; fi
  if wants jis2nec; then section_jis2nec; fi
  if wants sjis2jis; then section_sjis2jis; fi
  if wants jis2sjis; then section_jis2sjis; fi
  if wants sjis2utf8; then section_sjis2utf8; fi
  if wants utf82sjis; then section_utf82sjis; fi
  if wants utf82jis; then section_utf82jis; fi
  rm -f -- "$tmp"/text*.txt  # shared by the text sections only
done
scope='*'
if wants b64text; then section_b64text; fi
if wants b64bin; then section_b64bin; fi
if wants mbox; then section_mbox; fi
if wants kernels; then section_kernels; fi

if wants_any "${text_sections[@]}"; then
  for corpus in "${corpora[@]}"; do print_summary "$corpus"; done
else
  print_summary ''
fi
echo
LC_ALL=C awk -v us=$(($(now_us) - started)) 'BEGIN { printf "done in %.0f s\n", us / 1e6 }'

if ((status != 0)); then
  echo
  echo "velko-cli exited non-zero; see the note column" >&2
fi
exit "$status"
