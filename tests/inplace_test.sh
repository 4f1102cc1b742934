#!/usr/bin/env bash
# What a run in place keeps and what it refuses: nothing for nothing, every backup, links,
# owners and modes, full disks; outputs that are no files; spools; dates; truthful refusals.
. "$(dirname "${BASH_SOURCE[0]}")/check.sh"
cli=$(realpath "$1")
work=$(mktemp -d) && cd "$work" || exit 1
mounts=()
trap 'for m in "${mounts[@]}"; do umount "$m"; done; rm -rf "$work"' EXIT
root() { [ "$(id -u)" = 0 ] || { echo "skipped, not root: $1"; return 1; }; }
tmpfs() {  # tmpfs DIR OPTIONS: a small file system of its own, or false
  mkdir -p "$1" && mount -t tmpfs -o "$2" tmpfs "$1" 2>/dev/null && mounts+=("$(realpath "$1")")
}
nec=$(printf '\x86\xa2\n') sj=$(printf '\x8a\xbf\n')

# A second run, whose result would be its input: nothing changes, not even a date.
for c in "nec2jis:$nec" "jis2nec:$(printf '\x84\x9f\n')" "b64text:=?shift_jis?B?ir8=?="; do
  cmd=${c%%:*} && printf '%s' "${c#*:}" >t.txt && rm -f t.BAK*
  "$cli" -q $cmd t.txt && touch -d 2001-01-01 t.txt t.BAK && before=$(stat -c '%i %Y' t.txt t.BAK | xargs)
  "$cli" $cmd t.txt >out; s=$?
  check "$cmd twice" "0|t.txt: nothing to convert|$before|t.BAK" "$s|$(cat out)|$(stat -c '%i %Y' t.txt t.BAK | xargs)|$(echo t.BAK*)"
done

# Long files too, however far the reading runs ahead of the writing; one byte to convert at
# the very end is found.
seq -f 'plain line %g' 300000 >long.txt && cp long.txt long2.txt && printf '\x86\xa2' >>long2.txt
"$cli" nec2jis long.txt >out && "$cli" sjis2utf8 long.txt >>out && "$cli" -q nec2jis long2.txt
check "long, nothing to convert" "long.txt: nothing to convert|long.txt: nothing to convert|long2.BAK" \
  "$(tr '\n' '|' <out)$(echo long2.BAK*)"

# No backup is ever deleted: another file's, a user's own; --backup=simple is the window's
# rule, none keeps nothing.
printf '%s' "$sj" | tee README.TXT README.DOC a.txt >/dev/null && printf mine >a.BAK
"$cli" -q sjis2jis README.TXT && "$cli" sjis2jis README.DOC a.txt >out
check "kept as ~N~" "README.DOC: converted from Shift_JIS to JIS; the older README.BAK is kept as README.BAK.~1~|a.txt: converted from Shift_JIS to JIS; the older a.BAK is kept as a.BAK.~1~|$sj|mine" \
  "$(tr '\n' '|' <out)$(cat README.BAK.~1~)|$(cat a.BAK.~1~)"
for mode in simple none; do
  printf '%s' "$sj" >$mode.txt && printf old >$mode.BAK && "$cli" -q sjis2jis --backup=$mode $mode.txt
  echo "$(cat $mode.BAK) $(ls $mode.BAK* | wc -l)"
done >out
check "simple, none" "$sj 1|old 1" "$(tr '\n' '|' <out | sed 's/|$//')"

# Links: the file a symbolic link leads to is converted, its backup beside it, the link kept;
# a file with other hard links is refused.
mkdir shared && printf '%s' "$sj" >shared/notes.txt && ln -s shared/notes.txt notes.txt && ln -s notes.txt again.txt
"$cli" -q sjis2jis again.txt; s=$?
check "symbolic link" "0|notes.txt|$(printf '\x1b$B4A\x1b(J\n')|$sj|no" \
  "$s|$(readlink again.txt)|$(cat shared/notes.txt)|$(cat shared/notes.BAK)|$([ -e notes.BAK ] && echo yes || echo no)"
printf '漢字\n' >shared/u.txt && ln -s shared/u.txt u.txt && "$cli" sjis2jis u.txt 2>err
check "what a link leads to is looked at" "velko-cli: u.txt: looks like UTF-8, not Shift_JIS: not converted (--force converts it)" "$(cat err)"
printf '%s' "$sj" >h.txt && ln h.txt h2.txt && "$cli" sjis2jis h.txt 2>err; s=$?
check "hard link" "1|velko-cli: h.txt: Hard link err. [h.txt]|$sj|$(stat -c %i h.txt)" "$s|$(cat err)|$(cat h2.txt)|$(stat -c %i h2.txt)"

# Dates: kept with --keep-date, in place and with -o.
printf '%s' "$sj" | tee d1.txt d2.txt >/dev/null && touch -d '2001-02-03 04:05:06' d1.txt d2.txt
"$cli" -q sjis2jis --keep-date d1.txt && "$cli" -q sjis2jis --keep-date d2.txt -o d2.jis
check "--keep-date" "2001-02-03 04:05:06|2001-02-03 04:05:06" "$(date -r d1.txt '+%F %T')|$(date -r d2.jis '+%F %T')"

# Refusals tell the truth: JIS text with a few bytes of Shift_JIS pasted in.
printf '\x1b$B4A\x1b(B a\nb \x8a\xbf\n\x1b$B;z\x1b(B\n' >p.txt && "$cli" jis2sjis p.txt 2>err
check "JIS with stray bytes" "velko-cli: p.txt: is JIS text with 2 bytes that are not JIS, first on line 2: not converted (--force converts them as they stand)" "$(cat err)"

# Outputs that are no files are written into, never replaced; a folder is refused.
printf '%s' "$sj" >o.txt && ln -s /proc/self/fd/1 fd1 && mkfifo fifo
"$cli" -q sjis2jis o.txt -o fd1 >via-link; s1=$?
"$cli" -q sjis2jis o.txt -o /dev/stdout | cat >via-pipe
exec 3<>fifo && "$cli" -q sjis2jis o.txt -o fifo; s2=$?; head -c 8 <&3 >from-fifo; exec 3>&-
"$cli" -q sjis2jis o.txt -o /dev/null; s3=$?
j=$(printf '\x1b$B4A\x1b(J')
check "-o into" "0 0 0|$j$j$j|/proc/self/fd/1|fifo" \
  "$s1 $s2 $s3|$(cat via-link via-pipe from-fifo)|$(readlink fd1)|$([ -p fifo ] && echo fifo)"
(umask 022 && "$cli" -q sjis2jis o.txt -o new.jis) && check "a new -o OUT" "644" "$(stat -c %a new.jis)"
mkdir outdir && "$cli" sjis2jis o.txt -o outdir 2>err; check "-o a folder" "1 velko-cli: o.txt: outdir is a folder: not written" "$? $(cat err)"

# check on a FIFO says what it is.
"$cli" check fifo 2>err; check "check a FIFO" "1 velko-cli: fifo: Input file open err. [fifo]: it is not a file but a FIFO, a device or a socket" "$? $(cat err)"

# A spool goes however the run ends: a closed pipe, a full disk (told as the spool's).
mkdir spool && printf '\x8a\xbf%.0s' {1..200000} >u.txt
TMPDIR=$work/spool "$cli" sjis2utf8 --unmapped=fail <u.txt | head -c 10 >/dev/null
check "spool after a closed pipe" "" "$(ls -A spool)"
mkdir lost && printf 'ok \x85\x40\n' >lost/in.txt && "$cli" sjis2utf8 --unmapped=fail -o lost/out.txt lost/in.txt 2>/dev/null
check "nothing beside -o OUT when nothing is written" "in.txt" "$(ls -A lost)"

# Owners and modes: kept (as root, who may give them); refused for another user's file.
if root "owners and modes"; then
  chmod 755 "$work"
  for mode in 4755 2750 1644; do
    printf '%s' "$sj" >m$mode.txt && chown nobody:nogroup m$mode.txt && chmod $mode m$mode.txt
    "$cli" -q sjis2jis m$mode.txt && stat -c '%a %U %G' m$mode.txt
  done >out
  check "modes and owner kept" "4755 nobody nogroup|2750 nobody nogroup|1644 nobody nogroup" "$(tr '\n' '|' <out | sed 's/|$//')"
  mkdir -m 1777 both && printf '%s' "$sj" >both/n.txt && chown nobody both/n.txt && chmod 644 both/n.txt
  if runuser -u daemon -- true 2>/dev/null; then
    runuser -u daemon -- "$cli" sjis2jis both/n.txt 2>err; s=$?
    check "another user's file" "1|velko-cli: both/n.txt: Owner err. [both/n.txt]: Operation not permitted; both/n.txt is as it was|$sj|n.txt|nobody" \
      "$s|$(cat err)|$(cat both/n.txt)|$(ls -A both | xargs)|$(stat -c %U both/n.txt)"
    # Its own file, set-user-id: a write by one who is not root clears the bit; it comes back.
    printf '%s' "$sj" >both/own.txt && chown daemon:daemon both/own.txt && chmod 4755 both/own.txt
    runuser -u daemon -- "$cli" -q sjis2jis both/own.txt; check "own set-id file" "4755 daemon $sj" "$(stat -c '%a %U' both/own.txt) $(cat both/own.BAK)"
  else
    echo "skipped: runuser cannot run as daemon here"
  fi
  # No inode left, then no room: nothing removed or renamed, and the reason said.
  if tmpfs full "size=64k,nr_inodes=4"; then
    printf '%s' "$sj" >full/a.txt && printf old >full/a.BAK && touch full/x
    "$cli" sjis2jis full/a.txt 2>err
    check "no inode" "velko-cli: full/a.txt: Output file open err. [full/a.txt]: No space left on device; full/a.txt is as it was|$sj|old" \
      "$(cat err)|$(cat full/a.txt)|$(cat full/a.BAK)"
    rm full/x full/a.BAK && head -c 40000 /dev/zero | tr '\0' '\206' >full/a.txt
    "$cli" --force nec2jis full/a.txt 2>err
    check "no room" "velko-cli: full/a.txt: Output file wrute err. [full/a.txt]: No space left on device; full/a.txt is as it was|40000|a.txt" \
      "$(cat err)|$(wc -c <full/a.txt)|$(ls -A full | xargs)"
    tmpfs small "size=16k"
    TMPDIR=$work/small "$cli" sjis2utf8 --unmapped=fail <u.txt >/dev/null 2>err
    check "full spool" "spool): write error: No space left on device|" "$(grep -o 'spool): write error: .*' err)|$(ls -A small)"
  else
    echo "skipped: no tmpfs can be mounted here"
  fi
fi
exit $((failed > 0))
