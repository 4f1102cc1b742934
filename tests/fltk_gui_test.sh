#!/usr/bin/env bash
# velko-fltk-test DRIVER ARTDIR on a private Xvfb, no window manager, in a folder of its files.
set -u
command -v xvfb-run xdotool import >/dev/null || { echo "skipped: no xvfb-run, xdotool, import"; exit 77; }
mkdir -p "$2" && art=$(cd "$2" && pwd) && rm -f "$art"/*.png
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$work" || exit 1
export HOME="$work" LC_ALL=C.UTF-8
for f in nec jis sjis kanji subject; do printf 'x\n' >"$f.txt"; done
# Four attachments, all named report.txt, holding "A", "B", "C" and "D".
part='Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename="report.txt"'
printf "$part\r\n\r\n%s\r\n\r\n" QQ== Qg== Qw== RA== >mail.eml
status=0
for scenario in main closebox argument; do
  timeout -k 5 30 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$1" "$scenario" "$art" ||
    { echo "$scenario: status $?"; status=1; }
done
# A Linux file is bytes: no CR before its LF. はい overwrote "A" with "B", いいえ appended "C",
# キャンセル wrote nothing; the name kept its case.
[ "$(od -An -tx1 nec.txt | xargs)" = "78 0a" ] || { echo "FAIL: nec.txt: $(od -An -tx1 nec.txt)"; status=1; }
[ "$(cat report.txt 2>&1)" = BC ] || { echo "FAIL: report.txt: $(cat report.txt 2>&1)"; status=1; }
# The painted labels: ink in the rows of each (at 10,15 and 40,90), none in the rows above.
ink() { convert "$art/main-window.png" -crop "$1" -format '%[fx:minima<0.5]' info: 2>/dev/null; }
labels=$(ink 100x14+10+15)$(ink 100x8+10+7)$(ink 100x14+40+90)$(ink 100x8+40+82)
[ "$labels" = 1010 ] || { echo "FAIL: ink at the painted labels: $labels, not 1010"; status=1; }
exit $status
