#!/usr/bin/env bash
# velko-fltk-test under a private Xvfb and no window manager: both scenarios, one server.
# Usage: fltk_gui_test.sh DRIVER ARTDIR. Status 77 (skipped) without Xvfb.
set -u
driver=$1
artdir=$2

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "Xvfb is not installed: skipped"
  exit 77
fi

mkdir -p "$artdir"
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number once it accepts connections.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$work/display" \
  2>"$work/xvfb.log" &
xvfb_pid=$!
display=
for _ in $(seq 1 200); do
  display=$(head -n 1 "$work/display" 2>/dev/null)
  [ -n "$display" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
  sleep 0.05
done
if [ -z "$display" ]; then
  echo "Xvfb did not start:"
  cat "$work/xvfb.log"
  exit 1
fi

export DISPLAY=":$display"
# FLTK keeps its chooser settings under HOME; keep them out of the real one.
export HOME="$work/home"
mkdir -p "$HOME"
export LC_ALL=C.UTF-8

# Says how a scenario ended when it did not end by itself.
explain() {  # explain NAME STATUS
  if [ "$2" -eq 124 ] || [ "$2" -eq 137 ]; then
    echo "$1: stopped by the time limit"
  elif [ "$2" -gt 128 ]; then
    echo "$1: died of signal $(($2 - 128))"
  fi
}

echo "== main (display $DISPLAY)"
timeout -k 5 120 "$driver" main "$artdir"
main_status=$?
explain main "$main_status"
echo "== closebox"
timeout -k 5 40 "$driver" closebox "$artdir"
closebox_status=$?
explain closebox "$closebox_status"

if [ "$main_status" -ne 0 ]; then exit "$main_status"; fi
exit "$closebox_status"
