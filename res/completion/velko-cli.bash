# bash completion for velko-cli: its commands, each command's options and their values, and
# file names. The tables follow velko-cli's own option tables (tests/completion_test.sh holds
# them to `velko-cli help COMMAND`).

_velko_cli_options() {
  local common="-q --quiet -h --help -V --version"
  local rewrite="-o --output --eol --backup --keep-date --force"
  case $1 in
    nec2jis | jis2nec | jis2sjis) echo "$rewrite $common" ;;
    sjis2jis) echo "$rewrite --kana $common" ;;
    sjis2utf8 | jis2utf8 | eucjp2utf8) echo "$rewrite --map --bom --unmapped $common" ;;
    utf82sjis | utf82eucjp) echo "$rewrite --pc98 --unmapped $common" ;;
    utf82jis) echo "$rewrite --pc98 --kana --unmapped $common" ;;
    check) echo "--tsv -r --recursive $common" ;;
    toutf8) echo "-r --recursive -n --dry-run --out --assume --backup --new-date -j --jobs --rename-files $common" ;;
    b64text) echo "$rewrite --decode --to $common" ;;
    b64bin) echo "--dir --exists --names --decode-names --list --encodings --manifest $common" ;;
    *) echo "-h --help -V --version" ;;
  esac
}

# The values an option takes: a list, "<file>" / "<dir>" for a name, "<number>" for a count.
_velko_cli_values() {
  case $2 in
    -o | --output | --manifest) echo "<file>" ;;
    --dir | --out) echo "<dir>" ;;
    -j | --jobs) echo "<number>" ;;
    --eol) echo "keep crlf" ;;
    --backup) echo "numbered simple none" ;;
    --kana) [ "$1" = sjis2jis ] && echo "8bit esc-i full" || echo "full esc-i 8bit" ;;
    --map) echo "jis windows" ;;
    --unmapped) echo "replace fail" ;;
    --to) echo "sjis jis utf-8" ;;
    --assume) echo "sjis jis euc-jp" ;;
    --exists) echo "ask overwrite append skip rename" ;;
    --names) echo "decoded raw" ;;
    --encodings) echo "all base64" ;;
  esac
}

_velko_cli_names() {
  local IFS=$'\n'
  compopt -o filenames 2>/dev/null
  if [ "$1" = "<dir>" ]; then
    COMPREPLY=($(compgen -d -- "$2"))
  else
    COMPREPLY=($(compgen -f -- "$2"))
  fi
}

_velko_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="nec2jis jis2nec sjis2jis jis2sjis sjis2utf8 utf82sjis jis2utf8 utf82jis
    eucjp2utf8 utf82eucjp toutf8 check b64text b64bin help"
  # The command: the first word that is no option (options may stand before it).
  local command="" i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -*) ;;
      *) command=${COMP_WORDS[i]} && break ;;
    esac
  done
  COMPREPLY=()
  if [ -z "$command" ]; then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W "-q --quiet -h --help -V --version" -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    fi
    return
  fi
  if [ "$command" = help ]; then
    [ $((COMP_CWORD - i)) = 1 ] && COMPREPLY=($(compgen -W "${commands% help}" -- "$cur"))
    return
  fi
  # An option's value: "--eol=" comes as the words "--eol" "=" "", "--eol=k" as "--eol" "=" "k".
  local option=""
  if [ "$cur" = "=" ]; then
    option=$prev cur=""
  elif [ "$prev" = "=" ] && ((COMP_CWORD > 2)); then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $prev == -* ]] && [ -n "$(_velko_cli_values "$command" "$prev")" ]; then
    option=$prev
  fi
  if [ -n "$option" ]; then
    local values
    values=$(_velko_cli_values "$command" "$option")
    case $values in
      "" | "<number>") ;;
      "<"*) _velko_cli_names "$values" "$cur" ;;
      *) COMPREPLY=($(compgen -W "$values" -- "$cur")) ;;
    esac
    return
  fi
  if [[ $cur == -* ]]; then
    local options
    options=$(_velko_cli_options "$command")
    [[ $cur == --* ]] && options=$(printf '%s\n' $options | grep -- '^--')
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    # An option that takes a value is completed with its '=' and no space after it.
    if [ ${#COMPREPLY[@]} = 1 ] && [ -n "$(_velko_cli_values "$command" "${COMPREPLY[0]}")" ] &&
      [[ ${COMPREPLY[0]} == --* ]]; then
      COMPREPLY[0]+="="
      compopt -o nospace 2>/dev/null
    fi
    return
  fi
  _velko_cli_names "<file>" "$cur"
}

complete -F _velko_cli velko-cli
