#!/usr/bin/env bash
# The core's layers: an include may only reach the same layer or one below it. codec/ and
# ports/ are the floor and know nothing of each other: a codec never sees a file, a host or a
# window text. Under them all, the installed headers (velko/), which include nothing of conv/.
set -uo pipefail
root=${1:-$(dirname "$0")/..}
rank() {
  case $1 in
    codec | ports) echo 0 ;;
    text) echo 1 ;;
    mail) echo 2 ;;
    app) echo 3 ;;
    *) echo -1 ;;
  esac
}
bad=0
while IFS= read -r hit; do
  file=${hit%%:*}
  target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:}")
  from=$(sed -E 's|^.*conv/([a-z]+)/.*|\1|' <<<"$file")
  to=${target%%/*}
  [ "$to" = "$target" ] && continue  # a file of its own folder
  [ "$to" = velko ] && continue       # the installed headers: every layer may use them
  if [ "$(rank "$to")" -lt 0 ] || [ "$(rank "$to")" -gt "$(rank "$from")" ] ||
     { [ "$from" != "$to" ] && [ "$(rank "$from")" -eq 0 ]; }; then
    echo "$file includes $target: $to is not below $from" >&2
    bad=1
  fi
done < <(grep -rn '#include "' "$root/conv" | sed -E 's/^([^:]+):[0-9]+:/\1:/')
if [ -d "$root/include/velko" ]; then
  if grep -rn '#include "' "$root/include/velko" | grep -v '"velko/' >&2; then
    echo "the installed headers include the core's own" >&2
    bad=1
  fi
fi
[ $bad -eq 0 ] && echo "layers: every include runs down"
exit $bad
