#!/usr/bin/env bash
# Measures how many of the addresses in real files `mailsift scan` finds
# (recall) and how many it lists that an independent reading of the same
# files does not have (possible false positives): on /usr/share/doc,
# /usr/share/man and a set of real texts packed in containers and
# encodings, with the binary's default decoding and with --decode=none, each
# also with --rules=extended, as far as `mailsift scan --help` lists them.
#
# Usage: bench/recall.sh [CORPUS...]
#   CORPUS  a file or folder, or the word `containers` for the container set
#           (default: /usr/share/doc /usr/share/man containers)
# Settings: MAILSIFT the binary to measure (default: the bench preset's
# build/bench/src/cli/mailsift, built first), MAILSIFT_RECALL_DIR where the
# container set and the truths are cached (default /tmp/mailsift-recall),
# MAILSIFT_RECALL_SEED (default 42) and MAILSIFT_RECALL_TEXTS (default 200)
# for the container set, MAILSIFT_OUT_DIR for the outputs (default /dev/shm),
# PYTHON (default /usr/bin/python3 where it exists, else python3).
#
# The truth of a corpus is what bench/recall_truth.py reads in it without
# mailsift (its header says how): the addresses the pattern
# [A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,} matches in the decoded
# files, lower-cased, whose top-level domain is in the ICANN section of
# Debian's public suffix list. It is cached by the corpus's names, sizes and
# times, and made again when the helper is newer. The container set is made
# by `bench/recall_truth.py containers` (its header lists the kinds: gz, zst,
# zip, jar, tar.gz, tar.xz, tar.bz2, nested archives, docx, odt, epub,
# UTF-16LE with and without a byte order mark, HTML with &#64;, mail with
# base64 and quoted-printable parts, PDF) in one folder per kind, and made
# again when the helper is newer. For the container set each kind's folder
# is also scanned alone, so a kind's misses are not hidden by the same text
# in another kind.
#
# Per corpus and setting: the truth's size, found (List1 and truth), recall
# (found / truth), List1 entries not in the truth with a sample of 10, the
# truth addresses found only in List2 (an entry there counts without a
# sentence's closing dot), a sample of 10 missed ones, and the
# seconds of the one run (not a timing benchmark: no warm cache, one round).
#
# Tools: python3 (standard library only); gzip, xz, bzip2 and iconv (part of
# a Debian system) and zstd; Debian's publicsuffix for the list of
# top-level domains; pdftotext (Debian's poppler-utils) reads PDFs for the
# truth, enscript and ps2pdf (Debian's enscript and ghostscript) make the
# PDFs of the container set:
#   apt-get install -y publicsuffix zstd poppler-utils enscript ghostscript
# Without pdftotext a PDF counts as read as stored in the truth; without
# enscript or ps2pdf the set has no pdf folder. Both are said when they
# happen.
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
build=$repo/build/bench
truth_py=$repo/bench/recall_truth.py
cache=${MAILSIFT_RECALL_DIR:-/tmp/mailsift-recall}
seed=${MAILSIFT_RECALL_SEED:-42}
texts=${MAILSIFT_RECALL_TEXTS:-200}
out_base=${MAILSIFT_OUT_DIR:-/dev/shm}
if [[ -n ${PYTHON:-} ]]; then
  python=$PYTHON
elif [[ -x /usr/bin/python3 ]]; then
  python=/usr/bin/python3
else
  python=python3
fi
if (($# == 0)); then
  set -- /usr/share/doc /usr/share/man containers
fi

[[ $seed =~ ^[0-9]+$ ]] || die "MAILSIFT_RECALL_SEED must be a number, not '$seed'"
texts=$(positive_number MAILSIFT_RECALL_TEXTS "$texts")
command -v "$python" >/dev/null || die "python3 is not installed"
[[ -f /usr/share/publicsuffix/public_suffix_list.dat ]] ||
  die "no /usr/share/publicsuffix/public_suffix_list.dat (apt-get install publicsuffix)"
for corpus in "$@"; do
  [[ $corpus == containers || -e $corpus ]] || die "no such file or folder: $corpus"
done

print_machine
started=$SECONDS
choose_mailsift
echo "program:       $mailsift ($("$mailsift" --version | sed -n 1p))"
for tool in pdftotext enscript ps2pdf zstd iconv; do
  command -v "$tool" >/dev/null || echo "note:          $tool is not installed (see the header of $0)"
done

# The settings: options after `scan --list=both`, by label.
scan_help=$("$mailsift" scan --help)
labels=()
declare -A options
if grep -q -- '--decode=' <<<"$scan_help"; then
  labels+=(auto none)
  options[auto]=
  options[none]=--decode=none
else
  echo "note:          scan --help lists no --decode: skipping --decode=none; the one run uses the binary's defaults"
  labels+=(default)
  options[default]=
fi
if grep -q -- '--rules=' <<<"$scan_help" && grep -q extended <<<"$scan_help"; then
  for label in "${labels[@]}"; do
    options[$label+ext]=${options[$label]:+${options[$label]} }--rules=extended
    labels+=("$label+ext")
  done
else
  echo "note:          scan --help lists no --rules=extended: skipping it"
fi
echo "settings:      $(for label in "${labels[@]}"; do printf '%s=(%s) ' "$label" "${options[$label]:-defaults}"; done)"

mkdir -p "$cache/truth"
out_dir=$(mktemp -d "$out_base/mailsift-recall.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT

# Sets `set_dir` to the container set, made first unless cached.
container_set() {
  set_dir=$cache/containers-$seed-$texts
  if [[ -d $set_dir && $set_dir -nt $truth_py ]]; then
    echo "container set: $set_dir (cached)"
    return
  fi
  local partial=$set_dir.partial began=$SECONDS
  rm -rf "$partial"
  "$python" "$truth_py" containers "$partial" "$seed" "$texts" 2>&1 | sed 's/^/               /'
  rm -rf "$set_dir"
  mv -T "$partial" "$set_dir"
  echo "container set: $set_dir (new, $((SECONDS - began)) s)"
}

# Sets `truth` to the truth file of $1, made first unless cached.
truth_of() {
  local corpus=$1 fingerprint name
  fingerprint=$("$python" "$truth_py" fingerprint "$corpus")
  name=$(printf '%s' "${corpus#/}" | tr -c 'A-Za-z0-9._-' '_')
  truth=$cache/truth/$name-$fingerprint.tsv
  if [[ -f $truth && -f $truth.info && $truth -nt $truth_py ]]; then
    echo "truth:         $(cat "$truth.info") (cached)"
    return
  fi
  local began=$SECONDS
  "$python" "$truth_py" truth "$corpus" "$truth.partial" 2>"$truth.info"
  mv -f "$truth.partial" "$truth"
  echo "truth:         $(cat "$truth.info") (new, $((SECONDS - began)) s)"
}

# scan_and_score LABEL PATH [GROUP]: runs mailsift with the setting LABEL on
# PATH and compares its lists with $truth (its GROUP lines only when given).
# Sets `scores` (truth found not-in-truth only-List2 List1 List2), `seconds`
# and `scan_status`, and leaves the samples in $out_dir/samples.
scan_and_score() {
  local label=$1 path=$2 group=${3:-}
  local -a extra
  read -r -a extra <<<"${options[$label]}"
  local TIMEFORMAT=%3R
  scan_status=0
  { time "$mailsift" scan --list=both "${extra[@]}" "$path" >"$out_dir/lists" 2>"$out_dir/stderr" || scan_status=$?; } \
    2>"$out_dir/time"
  seconds=$(tail -n 1 "$out_dir/time")
  # 2: a file could not be read or the options are wrong; the lists still come.
  ((scan_status <= 2)) || die "mailsift ${options[$label]} $path failed with status $scan_status: $(cat "$out_dir/stderr")"
  [[ -s $out_dir/lists ]] || die "mailsift ${options[$label]} $path printed no lists: $(cat "$out_dir/stderr")"
  "$python" "$truth_py" score "$truth" "$out_dir/lists" ${group:+"$group"} >"$out_dir/score"
  read -r scores <"$out_dir/score"
  tail -n +2 "$out_dir/score" >"$out_dir/samples"
}

# The lines of the final table: corpus, setting and the figures.
summary=()

# Prints a sample of the kind given ("extra" or "missed") from $out_dir/samples.
print_sample() {
  local what=$1 title=$2 count=$3
  ((count > 0)) || return 0
  printf '    %s (%s of %d): %s\n' "$title" "$(grep -c "^$what"$'\t' "$out_dir/samples")" "$count" \
    "$(awk -F'\t' -v w="$what" '$1 == w { printf "%s%s", sep, $2; sep = " " }' "$out_dir/samples")"
}

for corpus in "$@"; do
  echo
  if [[ $corpus == containers ]]; then
    container_set
    path=$set_dir
  else
    path=$corpus
  fi
  echo "corpus:        $corpus"
  truth_of "$path"
  printf '%-12s %7s %7s %7s %12s %10s %7s %7s %8s\n' setting truth found recall not-in-truth only-List2 List1 List2 seconds
  for label in "${labels[@]}"; do
    scan_and_score "$label" "$path"
    read -r n_truth n_found n_extra n_list2 n_list1 n_unknown <<<"$scores"
    recall=$(awk -v f="$n_found" -v t="$n_truth" 'BEGIN { printf "%.1f%%", t ? 100 * f / t : 0 }')
    note=
    ((scan_status == 0)) || note=" (exit status $scan_status: $(tail -n 1 "$out_dir/stderr"))"
    printf '%-12s %7d %7d %7s %12d %10d %7d %7d %8s%s\n' "$label" "$n_truth" "$n_found" "$recall" \
      "$n_extra" "$n_list2" "$n_list1" "$n_unknown" "$seconds" "$note"
    print_sample extra "possible false positives" "$n_extra"
    print_sample missed "missed" "$((n_truth - n_found))"
    summary+=("$(printf '%-16s %-12s %7d %7d %7s %12d %10d %8s' "$corpus" "$label" \
      "$n_truth" "$n_found" "$recall" "$n_extra" "$n_list2" "$seconds")")
  done

  [[ $corpus == containers ]] || continue
  # Every kind alone: how many of its truth each setting misses.
  echo
  echo "container kinds scanned one by one: missed (recall), most missed with the first setting first"
  header=$(printf '%-11s %6s' kind truth)
  for label in "${labels[@]}"; do header+=$(printf ' %17s' "$label"); done
  rows=()
  for kind_dir in "$set_dir"/*/; do
    kind=$(basename "$kind_dir")
    row=$(printf '%-11s' "$kind")
    first_missed=
    for label in "${labels[@]}"; do
      scan_and_score "$label" "$kind_dir" "$kind"
      read -r n_truth n_found _ <<<"$scores"
      [[ -n $first_missed ]] || { first_missed=$((n_truth - n_found)); row+=$(printf ' %6d' "$n_truth"); }
      row+=$(awk -v f="$n_found" -v t="$n_truth" 'BEGIN { printf " %8d (%5.1f%%)", t - f, t ? 100 * f / t : 0 }')
    done
    rows+=("$first_missed $row")
  done
  echo "$header"
  printf '%s\n' "${rows[@]}" | sort -k1,1nr -k2,2 | cut -d' ' -f2-
done

echo
echo "summary (recall = found / truth; not-in-truth: List1 entries the truth lacks; only-List2: truth found in List2 alone)"
printf '%-16s %-12s %7s %7s %7s %12s %10s %8s\n' corpus setting truth found recall not-in-truth only-List2 seconds
printf '%s\n' "${summary[@]}"
echo
echo "took:          $((SECONDS - started)) s"
echo "load at end:   $(uptime)"
