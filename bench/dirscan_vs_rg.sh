#!/usr/bin/env bash
# Times `mailsift scan` against ripgrep with an address pattern on one
# generated folder tree (100,000 files unless told otherwise), each run on a
# warm page cache, and prints the medians, files and megabytes per second, the
# peak memory and how the two compare.
#
# Usage: bench/dirscan_vs_rg.sh [FILES [ROUNDS]]
#   FILES   files in the tree (or MAILSIFT_TREE_FILES; default 100000)
#   ROUNDS  timed runs of each program (or MAILSIFT_ROUNDS; default 5)
# Other settings: MAILSIFT_TREE_SEED (default 42), MAILSIFT_TREE_MEAN_BYTES
# the mean file size, K/M suffixes allowed (default 8K), MAILSIFT_TREE_DIR
# where the tree is cached (default /tmp), MAILSIFT_OUT_DIR for the outputs
# (default /dev/shm), MAILSIFT_JOBS for `mailsift scan --jobs` (default: not
# given, one thread per core).
# shellcheck disable=SC2034  # run_rounds runs the PEER_command arrays by name
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
build=$repo/build/bench
mailsift=$build/src/cli/mailsift
generator=$build/bench/mailsift-tree

files=${1:-${MAILSIFT_TREE_FILES:-100000}}
rounds=${2:-${MAILSIFT_ROUNDS:-5}}
seed=${MAILSIFT_TREE_SEED:-42}
mean_arg=${MAILSIFT_TREE_MEAN_BYTES:-8K}
tree_base=${MAILSIFT_TREE_DIR:-/tmp}
out_base=${MAILSIFT_OUT_DIR:-/dev/shm}
jobs=${MAILSIFT_JOBS:-}
pattern='[a-z0-9._-]+@[a-z0-9.-]+\.[a-z]{2,}'


files=$(positive_number FILES "$files")
rounds=$(positive_number ROUNDS "$rounds")
[[ $seed =~ ^[0-9]+$ ]] || die "MAILSIFT_TREE_SEED must be a number, not '$seed'"
mean=$(to_bytes "$mean_arg")
((mean > 0)) || die "the mean file size must be positive"
if [[ -n $jobs ]] && { [[ ! $jobs =~ ^[0-9]+$ ]] || ((10#$jobs == 0)); }; then
  die "MAILSIFT_JOBS must be a positive number, not '$jobs'"
fi
require_peers

print_machine

build_targets mailsift mailsift-tree
echo "programs:      $("$mailsift" --version), $(rg --version | sed -n 1p)"

# The tree is cached by file count, seed and mean size, and made again when
# the generator is newer than the cached tree. It is written under a
# temporary name first, so an interrupted run never leaves a partial tree to
# be reused. Nothing else is ever put inside it: both programs scan all of it.
tree=$tree_base/mailsift-tree-$files-$seed-$mean
if [[ -d $tree && $tree -nt $generator ]]; then
  echo "tree:          $tree (cached)"
else
  partial=$tree.partial.$$
  trap 'rm -rf "$partial"' EXIT
  "$generator" "$partial" "$files" "$seed" "$mean"
  rm -rf "$tree"
  mv -T "$partial" "$tree"
  trap - EXIT
  echo "tree:          $tree (new)"
fi
read -r found_files size < <(find "$tree" -type f -printf '%s\n' | awk '{ n++; s += $1 } END { print n + 0, s + 0 }')
folders=$(find "$tree" -type d | wc -l)
hidden=$(find "$tree" -name '.*' | wc -l)
((found_files == files)) || die "$tree has $found_files files, expected $files"

# Outputs go to real files: ripgrep can stop early when it writes to /dev/null.
out_dir=$(mktemp -d "$out_base/mailsift-dirscan-vs-rg.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT

# Reads every file of the tree once, so the timed run finds file data,
# inodes and folder entries in memory.
warm_cache() {
  find "$tree" -type f -print0 | xargs -0 cat >/dev/null
}


mailsift_command=("$mailsift" scan)
[[ -z $jobs ]] || mailsift_command+=("--jobs=$jobs")
mailsift_command+=("$tree")
ripgrep_command=(rg --no-config -uuu -o -i -j2 "$pattern" "$tree")
echo "mailsift runs: ${mailsift_command[*]}"
echo "ripgrep runs:  ${ripgrep_command[*]}"

peers=(mailsift ripgrep)
run_rounds
addresses=$(wc -l <"$out_dir/mailsift.out")
matches=$(wc -l <"$out_dir/ripgrep.out")
# ripgrep prints PATH:MATCH; the pattern cannot match a colon.
distinct=$(awk -F: '{ print tolower($NF) }' "$out_dir/ripgrep.out" | sort -u | wc -l)

echo
awk -v files="$files" -v folders="$folders" -v hidden="$hidden" -v bytes="$size" \
  -v m="${wall_median[mailsift]}" -v r="${wall_median[ripgrep]}" \
  -v mb="${wall_best[mailsift]}" -v rb="${wall_best[ripgrep]}" \
  -v mp="${peak_largest[mailsift]}" -v rp="${peak_largest[ripgrep]}" \
  -v addresses="$addresses" -v matches="$matches" -v distinct="$distinct" 'BEGIN {
  printf "tree:     %d files in %d folders (%d hidden names), %d bytes (%.1f MB)\n", files, folders, hidden, bytes, bytes / 1e6
  printf "mailsift: median %.3f s = %.0f files/s, %.1f MB/s, fastest %.3f s, peak %.1f MiB (%d addresses)\n", m, files / m, bytes / m / 1e6, mb, mp / 1024, addresses
  printf "ripgrep:  median %.3f s = %.0f files/s, %.1f MB/s, fastest %.3f s, peak %.1f MiB (%d matches, %d distinct)\n", r, files / r, bytes / r / 1e6, rb, rp / 1024, matches, distinct
  printf "mailsift scan is %.2f times as fast as ripgrep (ratio of the medians)\n", r / m
}'
echo
echo "load at end:   $(uptime)"
