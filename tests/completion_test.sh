#!/usr/bin/env bash
# The shells' completions of velko-cli loaded in bash and zsh and asked, as a user's Tab asks:
# the commands, each command's options and their values must be what velko-cli itself takes
# (its --help, `help COMMAND` and its usage errors), and names complete as files.
#   completion_test.sh VELKO_CLI COMPLETION_DIR
set -u
cli=$(realpath "$1") dir=$(realpath "$2")
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
export LC_ALL=C.UTF-8
unset LANGUAGE

# What the program takes.
commands=$("$cli" --help | sed -n 's/^  \([a-z0-9][a-z0-9]*\)  *[A-Za-z0-9].*/\1/p')
[ -n "$commands" ] || { echo "FAIL: no commands in $cli --help"; exit 1; }
longs() { "$cli" help "$1" | sed -n 's/^  \(-[a-zA-Z], \|    \)\(--[a-z0-9-]*\).*/\2/p'; }
shorts() { "$cli" help "$1" | sed -n 's/^  \(-[a-zA-Z]\), --.*/\1/p'; }
# An option's values: the list its usage error names, or by the help's placeholder "<dir>"
# (DIR), nothing for a number (N), "<file>" for any other name.
values() {
  local error
  error=$("$cli" "$1" "$2=@none@" --help 2>&1 >/dev/null)
  case $error in
    *"takes one of: "*) head -n 1 <<<"$error" | sed 's/.*takes one of: //; s/, /\n/g' ;;
    *)
      case $("$cli" help "$1" | sed -n "s/^  \(-[a-zA-Z], \|    \)$2=\([A-Z]*\).*/\2/p") in
        DIR) echo "<dir>" ;;
        N) ;;
        *) echo "<file>" ;;
      esac
      ;;
  esac
}

# A folder to complete names in.
mkdir -p "$work/names/att" && cd "$work/names" && touch mail.eml "memo 日本.txt"
names() {
  case $1 in
    "<dir>") echo att ;;
    "<file>") printf '%s\n' att mail.eml "memo 日本.txt" ;;
  esac
}

# Each question: a line as typed before Tab, and the completions it must give, one a line.
questions=() answers=()
ask() { questions+=("$1") answers+=("$(sort -u <<<"$2")"); }
ask "velko-cli " "$commands"$'\nhelp'
ask "velko-cli help " "$commands"
ask "velko-cli -" $'-h\n--help\n-V\n--version\n-q\n--quiet'
for c in $commands; do
  ask "velko-cli $c --" "$(longs "$c")"
  ask "velko-cli $c -" "$(longs "$c"; shorts "$c")"
  ask "velko-cli $c me" "memo 日本.txt"
  for o in $("$cli" help "$c" | sed -n 's/^  \(-[a-zA-Z], \|    \)\(--[a-z0-9-]*\)=.*/\2/p'); do
    v=$(values "$c" "$o")
    [[ $v == "<"* ]] && v=$(names "$v")
    ask "velko-cli $c $o=" "$v"
    ask "velko-cli -q $c $o " "$v"
  done
done
[ ${#questions[@]} -gt 100 ] || fail "only ${#questions[@]} questions"

# bash: the words as readline splits them ('=' a word of its own), the function called as
# Tab calls it.
bash_answers() {
  bash --norc --noprofile -c '
    source "$1" && shift
    for line; do
      read -ra COMP_WORDS <<<"${line//=/ = }"
      [[ $line == *" " || $line == *"=" ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
      COMPREPLY=()
      _velko_cli velko-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
      printf "=== %s\n" "$line"
      # A lone option is given with its "=" to go on with.
      [ ${#COMPREPLY[@]} -gt 0 ] && printf "%s\n" "${COMPREPLY[@]%=}"
    done' bash "$dir/velko-cli.bash" "$@"
}

# zsh: an interactive zsh on a terminal of its own (zpty) is sent the line and a Tab; what the
# completion adds is caught on its way to compadd.
zsh_answers() {
  local out=$work/zsh.out
  : >"$out"
  zsh -f -c '
    zmodload zsh/zpty
    dir=$1 out=$2; shift 2
    zpty -b z "zsh -f -i"
    zpty -w z "PS1=\"\"; unsetopt autolist listambiguous beep"
    zpty -w z "fpath=($dir \$fpath); autoload -Uz compinit; compinit -u -D"
    zpty -w z "compadd() { if [[ \" \$* \" == *\" -\"[OAD]* ]]; then builtin compadd \"\$@\"; return; fi;
      local -a hits; builtin compadd -O hits \"\$@\"; print -rl -- \$hits >>$out; builtin compadd \"\$@\"; }"
    # Tab completes, then tells it has done so.
    zpty -w z "tab() { zle complete-word; print -rn -- TAB\"\$((++tabs))\"END >/dev/tty; }; zle -N tab; bindkey \"^I\" tab"
    zpty -w z "print -r -- RE\"\"ADY"
    zpty -r z got "*READY*"
    n=0
    for line; do
      n=$((n + 1))
      print -r -- "=== $line" >>$out
      zpty -w -n z "$line"$'"'"'\t'"'"'
      zpty -r z got "*TAB${n}END*" || exit 1
      zpty -w z $'"'"'\x15'"'"'"print -r -- DO\"\"NE$n"
      zpty -r z got "*DONE$n*" || exit 1
    done
    zpty -d z' zsh "$dir" "$out" "$@" || fail "zsh did not answer"
  sed 's/\\\(.\)/\1/g' "$out"  # as the line would show it, without zsh's quoting
}

compare() {
  local shell=$1 got=$2 i=0 block
  for question in "${questions[@]}"; do
    block=$(awk -v q="=== $question" '$0 == q { on = 1; next } /^=== / { on = 0 } on && NF' <<<"$got" | sort -u)
    [ "$block" = "${answers[i]}" ] ||
      fail "$shell: '$question' gives: $(echo $block) ; velko-cli takes: $(echo ${answers[i]})"
    i=$((i + 1))
  done
}
compare bash "$(bash_answers "${questions[@]}")"
if command -v zsh >/dev/null; then
  compare zsh "$(zsh_answers "${questions[@]}")"
else
  fail "zsh is not installed (scripts/deps.sh)"
fi
echo "${#questions[@]} questions asked of each shell"
exit $status
