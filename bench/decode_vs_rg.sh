#!/usr/bin/env bash
# Times `mailsift scan` with its default decoding (compressed files,
# archives, office files, PDF, mail, UTF-16, escapes) against ripgrep
# searching compressed files too (`rg -z`) on one real folder
# (/usr/share/doc unless told otherwise), with `mailsift scan --decode=none`
# as a third peer, each run on a warm page cache, and prints the medians,
# the peak memory and how they compare.
#
# Usage: bench/decode_vs_rg.sh [FOLDER [ROUNDS]]
#   FOLDER  the folder both scan (or MAILSIFT_DECODE_FOLDER; default /usr/share/doc)
#   ROUNDS  timed runs of each program (or MAILSIFT_ROUNDS; default 5)
# Other settings: MAILSIFT the binary to time (default: the bench preset's
# build/bench/src/cli/mailsift, built first), MAILSIFT_BASELINE a mailsift
# built before decoding came, whose plain `scan` is timed as a fourth peer
# so that --decode=none can be held against it (default: none),
# MAILSIFT_OUT_DIR for the outputs (default /dev/shm).
#
# Targets: mailsift with decoding at least 10 times as fast as `rg -z`, and
# `--decode=none` not slower than before (against MAILSIFT_BASELINE).
# When `mailsift scan --help` lists no --decode, the binary does not decode:
# its one run is then both "default" and "none", and the script says so.
#
# Tools: ripgrep (Debian's ripgrep) and GNU time (Debian's time). `rg -z`
# starts a decompressing program for each compressed file: gzip, bzip2, xz,
# zstd, lz4, brotli, uncompress, those of them that are installed (gzip, bzip2
# and xz come with Debian; apt-get install -y zstd lz4 brotli for the rest).
# ripgrep runs as given below, without -L: it does not follow links to
# folders, which mailsift does, so both sizes are printed.
# shellcheck disable=SC2034  # run_rounds runs the PEER_command arrays by name
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
build=$repo/build/bench
folder=${1:-${MAILSIFT_DECODE_FOLDER:-/usr/share/doc}}
rounds=${2:-${MAILSIFT_ROUNDS:-5}}
out_base=${MAILSIFT_OUT_DIR:-/dev/shm}
baseline=${MAILSIFT_BASELINE:-}
pattern='[a-z0-9._-]+@[a-z0-9.-]+\.[a-z]{2,}'

[[ -d $folder ]] || die "not a folder: $folder"
folder=$(cd "$folder" && pwd)
rounds=$(positive_number ROUNDS "$rounds")
[[ -z $baseline || -x $baseline ]] || die "MAILSIFT_BASELINE is not an executable file: $baseline"
require_peers
print_machine
started=$SECONDS
choose_mailsift
echo "programs:      $mailsift ($("$mailsift" --version | sed -n 1p)), $(rg --version | sed -n 1p)"
[[ -z $baseline ]] || echo "baseline:      $baseline ($("$baseline" --version | sed -n 1p))"
missing=
for tool in gzip bzip2 xz zstd lz4 brotli; do
  command -v "$tool" >/dev/null || missing+=" $tool"
done
[[ -z $missing ]] || echo "note:          not installed, so rg -z reads those files as stored:$missing"

# What is in the folder: files and bytes with links followed (as mailsift
# reads it) and without (as ripgrep does), and the compressed and packed
# files by name.
sizes() { find "$@" "$folder" -type f -printf '%s %f\n' 2>/dev/null || true; }
read -r files_followed bytes_followed < <(sizes -L | awk '{ n++; s += $1 } END { print n + 0, s + 0 }')
read -r files_own bytes_own < <(sizes | awk '{ n++; s += $1 } END { print n + 0, s + 0 }')
packed=$(sizes -L | awk '{ if (match($2, /\.(gz|bz2|xz|zst|lz4|br|Z|zip|jar|docx|odt|epub|pdf|tgz)$/)) n[substr($2, RSTART + 1)]++ }
  END { for (k in n) printf "%s %d, ", k, n[k] }' | sed 's/, $//')
echo "folder:        $folder: $files_followed files, $bytes_followed bytes with links followed;" \
  "$files_own files, $bytes_own bytes without"
echo "packed files:  ${packed:-none} (by name, links followed)"

# Outputs go to real files: ripgrep can stop early when it writes to /dev/null.
out_dir=$(mktemp -d "$out_base/mailsift-decode-vs-rg.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT

# Reads every file once, so the timed run finds file data, inodes and
# folder entries in memory.
warm_cache() {
  { find -L "$folder" -type f -print0 2>/dev/null || true; } | { xargs -0 cat >/dev/null 2>&1 || true; }
}

peers=(mailsift ripgrep)
mailsift_command=("$mailsift" scan "$folder")
ripgrep_command=(rg --no-config -uuu -o -i -z "$pattern" "$folder")
if "$mailsift" scan --help | grep -q -- '--decode='; then
  decoding=yes
  peers+=(none)
  none_command=("$mailsift" scan --decode=none "$folder")
else
  decoding=no
  echo "note:          scan --help lists no --decode: skipping --decode=none; this binary does not decode"
fi
if [[ -n $baseline ]]; then
  peers+=(baseline)
  baseline_command=("$baseline" scan "$folder")
fi
for peer in "${peers[@]}"; do
  declare -n command=${peer}_command
  printf '%-15s%s\n' "$peer runs:" "${command[*]}"
  unset -n command
done

run_rounds
addresses=$(wc -l <"$out_dir/mailsift.out")
matches=$(wc -l <"$out_dir/ripgrep.out")
# ripgrep prints PATH:MATCH; the pattern cannot match a colon.
distinct=$(awk -F: '{ print tolower($NF) }' "$out_dir/ripgrep.out" | sort -u | wc -l)

echo
describe() {
  local peer=$1 name=$2 bytes=$3 what=$4
  awk -v name="$name" -v bytes="$bytes" -v m="${wall_median[$peer]}" -v b="${wall_best[$peer]}" \
    -v p="${peak_largest[$peer]}" -v what="$what" 'BEGIN {
    printf "%-18s median %.3f s = %.1f MB/s, fastest %.3f s, peak %.1f MiB (%s)\n", name ":", m, bytes / m / 1e6, b, p / 1024, what
  }'
}
# ratio SLOW FAST SENTENCE [TARGET]: SENTENCE with the ratio of the medians
# in place of %s, and whether it reaches TARGET.
ratio() {
  awk -v slow="${wall_median[$1]}" -v fast="${wall_median[$2]}" -v text="$3" -v target="${4:-}" 'BEGIN {
    r = slow / fast
    printf text, sprintf("%.2f", r)
    if (target != "") printf " (target: at least %s, %s)", target, ((r >= target + 0) ? "met" : "NOT met")
    printf "\n"
  }'
}
label=mailsift
[[ $decoding == yes ]] || label="mailsift (no decoding)"
describe mailsift "$label" "$bytes_followed" "$addresses addresses"
describe ripgrep "rg -z" "$bytes_own" "$matches matches, $distinct distinct"
if [[ $decoding == yes ]]; then
  describe none "--decode=none" "$bytes_followed" "$(wc -l <"$out_dir/none.out") addresses"
fi
if [[ -n $baseline ]]; then
  describe baseline "baseline" "$bytes_followed" "$(wc -l <"$out_dir/baseline.out") addresses"
fi
if [[ $decoding == yes ]]; then
  ratio ripgrep mailsift "mailsift scan is %s times as fast as rg -z" 10
  ratio mailsift none "mailsift scan --decode=none is %s times as fast as with decoding"
  [[ -z $baseline ]] || ratio baseline none "mailsift scan --decode=none is %s times as fast as the baseline" 1
else
  # The target is for a binary that decodes what rg -z decompresses.
  ratio ripgrep mailsift "mailsift scan, which does not decode, is %s times as fast as rg -z (the target does not apply)"
  [[ -z $baseline ]] || ratio baseline mailsift "mailsift scan is %s times as fast as the baseline" 1
fi
echo "(ratios of the medians)"
if [[ -n $baseline && $decoding == yes ]]; then
  # Without decoding the lists must be exactly the baseline's.
  if cmp -s "$out_dir/none.out" "$out_dir/baseline.out"; then
    echo "--decode=none gives exactly the baseline's list"
  else
    echo "--decode=none DIFFERS from the baseline's list:"
    diff "$out_dir/baseline.out" "$out_dir/none.out" | head -20 || true
  fi
fi
echo
echo "took:          $((SECONDS - started)) s"
echo "load at end:   $(uptime)"
