# bash completion for mailsift(1)                          -*- shell-script -*-
# Stands alone: it needs none of the bash-completion package's helpers.

# _mailsift_values OPTION PREFIX: the values of OPTION that start with PREFIX,
# into COMPREPLY. Returns 1 for an option that takes no value.
_mailsift_values() {
  local values
  case $1 in
    --list) values='found unknown both' ;;
    --rules) values='specified extended' ;;
    --decode) values='auto none' ;;
    --encoding) values='cp1252' ;;
    --format) values='lines jsonl' ;;
    -o | --export)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$2")
      return 0
      ;;
    # Free text or numbers: nothing to offer, but no file names either.
    --delimiter | -j | --jobs | --max-download-time | --max-download-size) return 0 ;;
    *) return 1 ;;
  esac
  # Values are read in any letter case; offer them as written here.
  local value
  for value in $values; do
    [[ ${value,,} == "${2,,}"* ]] && COMPREPLY+=("$value")
  done
  return 0
}

_mailsift() {
  COMPREPLY=()
  local cur=${COMP_WORDS[COMP_CWORD]} prev='' command='' ended=0 i
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ -z $command ]]; then
      case ${COMP_WORDS[i]} in scan | extract | help) command=${COMP_WORDS[i]} ;; esac
    elif [[ ${COMP_WORDS[i]} == -- ]]; then
      ended=1
    fi
  done

  if [[ -z $command ]]; then
    mapfile -t COMPREPLY < <(compgen -W 'scan extract help -h --help -V --version' -- "$cur")
    return 0
  fi
  [[ $command == help ]] && return 0

  if ((!ended)); then
    # "--list=fo": bash splits the word at "=" (COMP_WORDBREAKS) into
    # "--list" "=" "fo"; without "=" among the word breaks it stays whole.
    if [[ $cur == = ]]; then
      _mailsift_values "$prev" '' && return 0
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
      _mailsift_values "${COMP_WORDS[COMP_CWORD - 2]}" "$cur" && return 0
    elif [[ $cur == --*=* ]]; then
      if _mailsift_values "${cur%%=*}" "${cur#*=}"; then
        COMPREPLY=("${COMPREPLY[@]/#/${cur%%=*}=}")
        return 0
      fi
    elif _mailsift_values "$prev" "$cur"; then
      return 0
    fi

    if [[ $cur == -* ]]; then
      local options='--rules= -j --jobs= --decode= --encoding= --format= -0 --null -q --quiet --verbose -h --help -V --version'
      [[ $command == scan ]] &&
        options+=' --list= -o --export= --delimiter= --max-download-time= --max-download-size='
      mapfile -t COMPREPLY < <(compgen -W "$options --" -- "$cur")
      [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
      return 0
    fi
  fi

  # Paths: files and folders (scan also takes URLs and "-", typed by hand).
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  return 0
}

complete -F _mailsift mailsift
