#!/usr/bin/env bash
# The CPU time each tool takes for the same input, where a shared machine makes wall times
# worthless: perf stat's task-clock (user and system time), mean of RUNS runs, files on
# /dev/shm. velko-cli, the read-copy-write limit (bench/limit.cpp), cat and the peers.
#   bench/cpu_ratios.sh VELKO_CLI [MB] [RUNS]     (defaults: 20 MB, 5 runs)
# Needs perf (apt-get install linux-perf), nkf, uconv, ripmime, mpack; encoding_rs where
# cargo and librust-encoding-rs-dev are installed.
set -euo pipefail
velko=$1 mb=${2:-20} runs=${3:-5}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
w=$(mktemp -d /dev/shm/velko-cpu.XXXXXX)
trap 'rm -rf -- "$w"' EXIT
c++ -O2 -std=c++17 -o "$w/gen_text" "$here/gen_text.cpp"
c++ -O2 -std=c++17 -o "$w/gen_mail" "$here/gen_mail.cpp"
c++ -O2 -std=c++17 -o "$w/limit" "$here/limit.cpp"
rs=''
if command -v cargo >/dev/null && (cd "$here/encoding_rs" && CARGO_TARGET_DIR=$w/cargo cargo build -q --release) 2>/dev/null; then
  rs=$w/cargo/release/encoding_rs_peer
fi
"$w/gen_text" "$mb" 1 "$w/mixed.txt"
"$w/gen_text" --prose "$mb" 1 "$w/prose.txt"
"$w/gen_mail" headers "$mb" 1 "$w/headers.txt"
"$w/gen_mail" mail "$mb" 1 "$w/mail.eml"
for c in mixed prose; do
  "$velko" sjis2jis -q -o "$w/$c.jis" "$w/$c.txt" 2>/dev/null || true
  "$velko" sjis2utf8 -q -o "$w/$c.utf8" "$w/$c.txt" 2>/dev/null || true
  "$velko" nec2jis -q -o "$w/$c.ruled" "$w/$c.txt" 2>/dev/null || true
done
cpu_ms() {  # cpu_ms COMMAND: mean task-clock in ms
  # A command that tells of what it could not map exits 1: its time counts all the same.
  perf stat -x, -e task-clock -r "$runs" sh -c "$1; true" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 }'
}
row() {  # row LABEL INPUT VELKO_ARGS [PEER_LABEL=COMMAND]...
  local label=$1 in=$2 args=$3
  shift 3
  local size v l k best='' best_ms='' p name cmd ms
  size=$(stat -c %s "$in")
  v=$(cpu_ms "$velko $args -q -o $w/out $in 2>/dev/null")
  l=$(cpu_ms "$w/limit $in > $w/out")
  k=$(cpu_ms "cat $in > $w/out")
  local peers=''
  for p in "$@"; do
    name=${p%%=*} cmd=${p#*=}
    ms=$(cpu_ms "$cmd < $in > $w/out 2>/dev/null")
    peers+="$name $(awk -v b="$size" -v t="$ms" 'BEGIN { printf "%.0f", b / t / 1e3 }'), "
    if [[ -z $best_ms ]] || awk -v a="$ms" -v b="$best_ms" 'BEGIN { exit !(a < b) }'; then best=$name best_ms=$ms; fi
  done
  awk -v lab="$label" -v b="$size" -v v="$v" -v l="$l" -v k="$k" -v best="$best" -v bm="$best_ms" -v peers="${peers%, }" 'BEGIN {
    printf "| %s | %.0f | %.0f | %.0f | %.2f | %s | %s |\n", lab, b / v / 1e3, b / l / 1e3, b / k / 1e3, l / v,
      peers == "" ? "-" : peers, bm == "" ? "-" : sprintf("%.1fx %s", bm / v, best)
  }'
}
echo "CPU time, $mb MB inputs, mean of $runs runs (perf stat task-clock), MB/s of CPU time; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| command, corpus | velko | limit | cat | velko/limit | peers | velko/best peer |"
echo "|---|---:|---:|---:|---:|---|---:|"
py() { echo "python=python3 -c \"import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode('$1', 'replace').encode('$2', 'replace'))\""; }
for c in mixed prose; do
  row "sjis2jis, $c" "$w/$c.txt" sjis2jis "nkf=nkf -j" "iconv=iconv -c -f CP932 -t ISO-2022-JP"
  row "sjis2jis --kana=full, $c" "$w/$c.txt" "sjis2jis --kana=full" "nkf=nkf -j"
  row "sjis2jis --kana=esc-i, $c" "$w/$c.txt" "sjis2jis --kana=esc-i"
  row "jis2sjis, $c" "$w/$c.jis" jis2sjis "nkf=nkf -s"
  row "nec2jis, $c" "$w/$c.txt" nec2jis
  row "jis2nec, $c" "$w/$c.ruled" jis2nec
  row "sjis2utf8, $c" "$w/$c.txt" sjis2utf8 "iconv=iconv -c -f CP932 -t UTF-8" "uconv=uconv --from-callback substitute -f CP932 -t UTF-8" \
    "nkf=nkf -S -w -x" ${rs:+"encoding_rs=$rs decode Shift_JIS"} "$(py cp932 utf-8)"
  row "utf82sjis, $c" "$w/$c.utf8" utf82sjis "iconv=iconv -c -f UTF-8 -t CP932" "uconv=uconv --to-callback substitute -f UTF-8 -t CP932" \
    "nkf=nkf -W -s -x" ${rs:+"encoding_rs=$rs encode Shift_JIS"} "$(py utf-8 cp932)"
  row "utf82jis, $c" "$w/$c.utf8" utf82jis "iconv=iconv -c -f UTF-8 -t ISO-2022-JP" \
    "uconv=uconv --to-callback substitute -f UTF-8 -t ISO-2022-JP" "nkf=nkf -W -j -x" ${rs:+"encoding_rs=$rs encode ISO-2022-JP"} \
    "$(py utf-8 iso2022_jp)"
done
row "b64text, headers" "$w/headers.txt" b64text "nkf=nkf -m"
# b64bin writes attachments into a folder, not -o: its own rows.
size=$(stat -c %s "$w/mail.eml")
v=$(cpu_ms "rm -rf $w/d && mkdir $w/d && $velko b64bin -q --dir $w/d --exists overwrite $w/mail.eml")
l=$(cpu_ms "$w/limit $w/mail.eml > $w/out")
k=$(cpu_ms "cat $w/mail.eml > $w/out")
r=$(cpu_ms "rm -rf $w/d && mkdir $w/d && ripmime -i $w/mail.eml -d $w/d")
m=$(cpu_ms "rm -rf $w/d && mkdir $w/d && munpack -q -C $w/d $w/mail.eml")
awk -v b="$size" -v v="$v" -v l="$l" -v k="$k" -v r="$r" -v m="$m" 'BEGIN {
  printf "| b64bin, mail | %.0f | %.0f | %.0f | %.2f | ripmime %.0f, munpack %.0f | %.1fx ripmime |\n",
    b / v / 1e3, b / l / 1e3, b / k / 1e3, l / v, b / r / 1e3, b / m / 1e3, r / v
}'
