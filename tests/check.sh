# Sourced by the shell tests: `check WHAT EXPECTED ACTUAL` tells and counts each difference.
set -u
export LC_ALL=C.UTF-8
failed=0
check() {
  [ "$2" == "$3" ] || { failed=$((failed + 1)); printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$@"; }
}
hex() { od -An -tx1 "$@" | xargs; }
