#!/usr/bin/env bash
# The shell completions: each offers exactly the long options of the manual
# page, and (where the shell can be driven from a script) the right
# candidates for commands, options, their values and paths.
#   completion_test.sh bash|zsh|fish COMPLETION_FILE MANUAL_PAGE_SOURCE
set -euo pipefail
shell=$1 file=$(realpath "$2") page=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# The long options the manual page documents (but its "--option=value").
mapfile -t documented < <(grep -o -E '\\-\\-[a-z]([a-z]|\\-)*' "$page" | sed 's/\\//g' | grep -v -x -e '--option' | sort -u)
[[ ${#documented[@]} -gt 10 ]] || fail "found only ${#documented[@]} options in $page"

case $shell in
  bash)
    # shellcheck source=/dev/null
    source "$file"
    # expect 'CANDIDATE...' WORD...: the last WORD is the one completed; "="
    # stands alone as bash splits "--list=fo" into "--list" "=" "fo".
    expect() {
      local wanted=$1
      shift
      COMP_WORDS=("$@")
      COMP_CWORD=$(($# - 1))
      _mailsift || fail "[$*]: the completion failed"
      local got="${COMPREPLY[*]}"
      [[ $got == "$wanted" ]] || fail "[$*]: wanted '$wanted', got '$got'"
    }
    touch "$work/out.csv" "$work/--lx"
    cd "$work"
    expect 'scan extract help -h --help -V --version' mailsift ''
    expect 'scan' mailsift sc
    expect '--list=' mailsift scan --li
    expect 'found unknown both' mailsift scan --list = ''
    expect 'both' mailsift scan --list = B
    expect 'both' mailsift scan --list b
    expect '--list=unknown' mailsift scan --list=u
    expect 'jsonl' mailsift extract --format j
    expect 'extended' mailsift extract -j 4 --rules = e
    expect 'cp1252' mailsift scan --encoding ''
    expect '' mailsift extract --li
    expect '' mailsift scan --jobs ''
    expect "$work/out.csv" mailsift scan -o "$work/ou"
    expect "$work/out.csv" mailsift scan --export = "$work/ou"
    expect "$work/out.csv" mailsift scan --verbose "$work/o"
    expect '--lx' mailsift scan -- --l
    expect '' mailsift help ''
    # Every documented option is offered by one command or the other, and
    # nothing else.
    offered=()
    for command in scan extract; do
      COMP_WORDS=(mailsift "$command" --)
      COMP_CWORD=2
      _mailsift || fail "[$*]: the completion failed"
      offered+=("${COMPREPLY[@]%=}")
    done
    COMP_WORDS=(mailsift --)
    COMP_CWORD=1
    _mailsift || fail "the completion failed"
    offered+=("${COMPREPLY[@]}")
    mapfile -t offered < <(printf '%s\n' "${offered[@]}" | grep -v -x -e '--' | sort -u)
    [[ ${offered[*]} == "${documented[*]}" ]] ||
      fail "options offered and documented differ: $(diff <(printf '%s\n' "${offered[@]}") <(printf '%s\n' "${documented[@]}") | grep '^[<>]' | tr '\n' ' ')"
    ;;
  zsh)
    command -v zsh >/dev/null || { echo "needs zsh"; exit 77; }
    zsh -n "$file" || fail "zsh cannot read $file"
    for option in "${documented[@]}"; do
      grep -q -e "'$option[=[+]" -e ",$option[]=+}]" "$file" || fail "$file lacks $option"
    done
    ;;
  fish)
    command -v fish >/dev/null || { echo "needs fish"; exit 77; }
    fish -n "$file" || fail "fish cannot read $file"
    for option in "${documented[@]}"; do
      grep -q -e "-l ${option#--}\( \|$\)" "$file" || fail "$file lacks $option"
    done
    touch "$work/out.csv"
    # expect 'CANDIDATE...' LINE: the candidates for the command line LINE.
    expect() {
      local got
      got=$(cd "$work" && fish --no-config -c "source '$file'; complete -C'$2'" | cut -f1 | sort | tr '\n' ' ')
      [[ ${got% } == "$1" ]] || fail "[$2]: wanted '$1', got '$got'"
    }
    expect 'extract help scan' 'mailsift '
    expect '--list' 'mailsift scan --li'
    expect '--list=both --list=found --list=unknown' 'mailsift scan --list='
    expect 'jsonl lines' 'mailsift extract --format '
    expect '' 'mailsift extract --li'
    expect 'out.csv' 'mailsift scan -o ou'
    ;;
  *) echo "usage: completion_test.sh bash|zsh|fish FILE PAGE"; exit 2 ;;
esac

if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
