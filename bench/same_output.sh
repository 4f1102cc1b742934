#!/usr/bin/env bash
# Whether two builds of velko-cli write the same bytes: every text command (sjis2jis and
# utf82jis with each --kana), both text rules, every kernel set, and b64bin's attachments, on
# the bench's generated files. For a change that must only make things faster.
#   bench/same_output.sh OLD_VELKO_CLI NEW_VELKO_CLI [MB]     (default 20 MB per file)
# Prints one line per difference and "same: N outputs" at the end; exit 1 on any difference.
set -euo pipefail
old=$1 new=$2 mb=${3:-20}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
${CXX:-c++} -O2 -std=c++17 -o "$work/gen_text" "$here/gen_text.cpp"
${CXX:-c++} -O2 -std=c++17 -o "$work/gen_mail" "$here/gen_mail.cpp"
"$work/gen_text" "$mb" 1 "$work/mixed.txt"
"$work/gen_text" --prose "$mb" 1 "$work/prose.txt"
"$work/gen_mail" headers "$mb" 1 "$work/headers.txt"
"$work/gen_mail" mail "$mb" 1 "$work/mail.eml"
# The JIS and UTF-8 inputs, made by the old build.
for c in mixed prose; do
  "$old" sjis2jis -q -o "$work/$c.jis" "$work/$c.txt" 2>/dev/null || true
  "$old" sjis2utf8 -q -o "$work/$c.utf8" "$work/$c.txt" 2>/dev/null || true
  "$old" utf82eucjp -q -o "$work/$c.euc" "$work/$c.utf8" 2>/dev/null || true
done
same=0 differ=0
compare() {  # compare LABEL FILE_OLD FILE_NEW
  if cmp -s "$2" "$3"; then same=$((same + 1)); else differ=$((differ + 1)); echo "differ: $1"; fi
}
sets=$("$new" --version | sed -n 's/^kernels: //p')
for isa in scalar sse2 avx2; do
  # A set the CPU lacks is never chosen: both builds would use another.
  if [[ $isa == avx2 && $sets != avx2 ]]; then continue; fi
  for eol in keep crlf; do
    run() {  # run NAME INPUT COMMAND OPTIONS...; the commands to and from UTF-8 have no --eol
      local name=$1 in=$2 rules=(--eol="$eol")
      shift 2
      if [[ $1 == *utf8* ]]; then
        [[ $eol == keep ]] || return 0
        rules=()
      fi
      rm -f -- "$work/old.out" "$work/new.out"
      VELKO_ISA=$isa "$old" "$@" -q --force "${rules[@]}" -o "$work/old.out" "$in" 2>/dev/null || true
      VELKO_ISA=$isa "$new" "$@" -q --force "${rules[@]}" -o "$work/new.out" "$in" 2>/dev/null || true
      [[ -e $work/old.out ]] || { differ=$((differ + 1)); echo "no output: $isa $eol $name $*"; return 0; }
      compare "$isa $eol $name $*" "$work/old.out" "$work/new.out"
    }
    for c in mixed prose; do
      run "$c" "$work/$c.txt" nec2jis
      run "$c" "$work/$c.txt" jis2nec
      for kana in 8bit full esc-i; do run "$c" "$work/$c.txt" sjis2jis --kana=$kana; done
      run "$c" "$work/$c.txt" sjis2utf8
      run "$c.jis" "$work/$c.jis" jis2sjis
      run "$c.jis" "$work/$c.jis" jis2utf8
      run "$c.jis" "$work/$c.jis" jis2utf8 --map=jis
      run "$c.euc" "$work/$c.euc" eucjp2utf8
      run "$c.euc" "$work/$c.euc" eucjp2utf8 --map=jis
      run "$c.utf8" "$work/$c.utf8" utf82sjis
      for kana in 8bit full esc-i; do run "$c.utf8" "$work/$c.utf8" utf82jis --kana=$kana; done
      run "$c.utf8" "$work/$c.utf8" utf82jis --pc98
      run "$c.utf8" "$work/$c.utf8" utf82eucjp
    done
    run headers "$work/headers.txt" b64text
  done
  for version in old new; do
    rm -rf "$work/$version.d"
    mkdir "$work/$version.d"
    bin=$old
    [[ $version == new ]] && bin=$new
    VELKO_ISA=$isa "$bin" b64bin -q --dir "$work/$version.d" --exists overwrite "$work/mail.eml" >/dev/null 2>&1 || true
  done
  if diff -r "$work/old.d" "$work/new.d" >/dev/null; then same=$((same + 1)); else differ=$((differ + 1)); echo "differ: $isa b64bin"; fi
done
echo "same: $same outputs, differ: $differ"
((differ == 0))
