#!/usr/bin/env bash
# Crafted mails: nothing of a name reaches the terminal raw, no name lies, one bad part fails
# alone, the mail is never an output, a body cut short is said, and so is output that is lost.
. "$(dirname "${BASH_SOURCE[0]}")/check.sh"
cli=$(realpath "$1")
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$work" || exit 1
part() {  # part DISPOSITION-PARAMETER BASE64
  printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; %s\r\n\r\n%s\r\n\r\n' "$1" "$2"
}
run() { "$cli" b64bin "$@" >out 2>err; echo $?; }

# Controls from a mail or a command line are shown escaped, one message a line.
{ part $'filename="a\e[31mred\a"' QUJD; part "filename*=utf-8''a%0Avelko-cli%3A%20forged" QUJD
  part "filename*=utf-8''%E2%80%AEfdp.exe" QUJD; part "filename*=utf-8''c1%C2%85x" QUJD
  part "filename*=utf-8''invoice.sh%00.pdf" QUJD; } >tricks.eml
mkdir d && s=$(run --decode-names --dir d tricks.eml)
check "saved under made names" "0|tricks-1-1.1.txt tricks-1-1.2.txt tricks-1-1.3.txt tricks-1-1.4.txt tricks-1-1.txt|5" "$s|$(ls d | xargs)|$(wc -l <err)"
check "shown escaped" "a\\x1B[31mred\\x07|a\\x0Avelko-cli: forged|\\u202Efdp.exe|c1\\u0085x|invoice.sh\\x00" \
  "$(grep -o '"[^"]*"' err | tr -d '"' | sed 's/\.\.\.$//' | tr '\n' '|' | sed 's/|$//')"
"$cli" b64bin --list tricks.eml >out; check "--list" "a\\x1B[31mred\\x07" "$(sed -n 's/^tricks.eml: line 1: \(.*\) (3 bytes).*/\1/p' out)"
"$cli" sjis2jis $'x\e]0;title\a' 2>err
check "a FILE" "velko-cli: x\\x1B]0;title\\x07: C'ant find input file. [x\\x1B]0;title\\x07]: No such file or directory" "$(cat err)"

# One part's failure is its own: a folder where it goes; the mail's own name is taken by the
# next numbered one; the rest saved.
{ part 'filename="a"' QUJD; part 'filename="mail.eml"' QUJD; part 'filename="b"' QUJD; part 'filename="c"' QUJD; } >mail.eml
mkdir -p e/b && cp mail.eml e/mail.eml && cp mail.eml copy.eml && s=$(run --dir e --exists overwrite e/mail.eml)
check "bad parts" "1|a b c mail(1).eml mail.eml|$(md5sum <copy.eml)" "$s|$(ls e | xargs)|$(md5sum <e/mail.eml)"
check "said" "1 1 2" "$(grep -c 'Output file open err. \[e/b\]' err) $(grep -c 'e/mail.eml names a mail of this run or the manifest; saved as e/mail(1).eml' err) $(wc -l <err)"
# The mail from standard input is no output either, however it is named.
s=$(run --exists overwrite - <mail.eml); check "stdin mail" "1 $(md5sum <copy.eml)" "$s $(md5sum <mail.eml)"

# --exists rename: numbered names fit in 255 bytes; five parts of one name take five numbers.
long=$(printf 'n%.0s' {1..251}).txt
{ for i in 1 2 3; do part "filename=\"$long\"" QUJD; done; for i in 1 2 3 4 5; do part 'filename="r.t"' QUJD; done; } >many.eml
mkdir f && s=$(run --dir f --exists rename many.eml)
check "rename" "0|$(printf 'n%.0s' {1..248})(1).txt $(printf 'n%.0s' {1..248})(2).txt r(1).t r(2).t r(3).t r(4).t" \
  "$s|$(ls f | grep '(' | xargs)"

# A body the mail ends inside, and a lone last character: saved as far as they decode, and said.
{ part 'filename="cut"' QUJDQUJD; printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: a; filename="end"\r\n\r\nQUJDQU'; } >cut.eml
part 'filename="lone"' QUJDQ >lone.eml
s=$(run --dir f cut.eml lone.eml)
check "cut, lone" "1|6 4 3" "$s|$(wc -c <f/cut) $(wc -c <f/end) $(wc -c <f/lone)"
check "cut said" "line 6: f/end: the mail ends inside this attachment: saved as far as it decodes (4 bytes)" \
  "$(grep -o 'line 6: f/end.*' err)"
check "lone said" "1" "$(grep -c 'f/lone: its Base64 text ends in a character that completes no group' err)"

# The manifest never replaces a mail of the run nor a device; an attachment of its name takes
# the next numbered one. Multiparts 70 deep are read; past 100 the rest is one part, and said.
cp mail.eml keep.eml
s=$(run --dir g --manifest keep.eml keep.eml); check "manifest: a mail" "1 $(md5sum <copy.eml)" "$s $(md5sum <keep.eml)"
check "manifest: a device" "1" "$(run --dir g --manifest /dev/null keep.eml)"
run --dir g --exists overwrite --manifest g/b keep.eml >/dev/null
check "manifest: a part's name" "a b b(1) c mail.eml" "$(ls g | xargs)"
check "manifest: whole" "4" "$(grep -c saved g/b)"
nest() {  # nest DEPTH: multiparts in one another, an attachment at the bottom
  for i in $(seq "$1"); do printf 'Content-Type: multipart/mixed; boundary=b%s\n\n--b%s\n' "$i" "$i"; done
  printf 'Content-Type: application/pdf\nContent-Transfer-Encoding: base64\n\nQUJD\n'
  for i in $(seq "$1" -1 1); do printf -- '--b%s--\n' "$i"; done
}
nest 70 >deep70.eml && nest 120 >deep120.eml
check "70 deep" "0 3" "$(run --dir h deep70.eml) $(wc -c <h/deep70-1-1.pdf)"
check "120 deep" "1 1" "$(run --dir h deep120.eml) $(grep -c 'nested over 100 deep' err)"

# Output that is lost is a failure: a full disk, a closed standard output.
for c in "--help" "--version" "b64bin --list mail.eml"; do "$cli" $c >/dev/full 2>/dev/null; echo -n "$? "; done >st
"$cli" --version >&- 2>/dev/null; echo $? >>st
check "lost output" "1 1 1 1" "$(xargs <st)"
exit $((failed > 0))
