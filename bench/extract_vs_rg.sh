#!/usr/bin/env bash
# Times `mailsift extract` against ripgrep with an address pattern on one
# generated corpus (1 GiB unless told otherwise), each run on a warm page
# cache, and prints the medians, the throughput and how the two compare.
#
# Usage: bench/extract_vs_rg.sh [BYTES [ROUNDS]]
#   BYTES   corpus size, K/M/G suffixes allowed (or MAILSIFT_CORPUS_BYTES; default 1G)
#   ROUNDS  timed runs of each program (or MAILSIFT_ROUNDS; default 5)
# Other settings: MAILSIFT_CORPUS_SEED (default 42), MAILSIFT_CORPUS_DIR where
# the corpus is cached (default /tmp), MAILSIFT_OUT_DIR for the outputs
# (default /dev/shm).
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
build=$repo/build/bench
mailsift=$build/src/cli/mailsift
generator=$build/bench/mailsift-corpus

bytes_arg=${1:-${MAILSIFT_CORPUS_BYTES:-1G}}
rounds=${2:-${MAILSIFT_ROUNDS:-5}}
seed=${MAILSIFT_CORPUS_SEED:-42}
corpus_dir=${MAILSIFT_CORPUS_DIR:-/tmp}
out_base=${MAILSIFT_OUT_DIR:-/dev/shm}
pattern='[a-z0-9._-]+@[a-z0-9.-]+\.[a-z]{2,}'


bytes=$(to_bytes "$bytes_arg")
((bytes > 0)) || die "the corpus size must be positive"
rounds=$(positive_number ROUNDS "$rounds")
[[ $seed =~ ^[0-9]+$ ]] || die "MAILSIFT_CORPUS_SEED must be a number, not '$seed'"
command -v rg >/dev/null || die "ripgrep (rg) is not installed"

print_machine

build_targets mailsift mailsift-corpus
echo "programs:      $("$mailsift" --version), $(rg --version | sed -n 1p)"

# The corpus is cached by size and seed, and made again when the generator
# is newer than the cached file. It is written under a temporary name first,
# so an interrupted run never leaves a truncated corpus to be reused.
corpus=$corpus_dir/mailsift-corpus-$bytes-$seed.txt
if [[ -s $corpus && $corpus -nt $generator ]]; then
  echo "corpus:        $corpus (cached)"
else
  partial=$corpus.partial.$$
  trap 'rm -f "$partial"' EXIT
  "$generator" "$bytes" "$seed" "$partial"
  mv -f "$partial" "$corpus"
  trap - EXIT
  echo "corpus:        $corpus (new)"
fi
size=$(stat -c %s "$corpus")
((size == bytes)) || die "$corpus has $size bytes, expected $bytes"

# Outputs go to real files: ripgrep can stop early when it writes to /dev/null.
out_dir=$(mktemp -d "$out_base/mailsift-vs-rg.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT

# Reads the corpus once, so the timed run finds it in the page cache.
warm_cache() { cat "$corpus" >/dev/null; }

mailsift_command=("$mailsift" extract "$corpus")
rg_command=(rg --no-config -o -i "$pattern" "$corpus")
run_rounds
found=$(grep -c $'^found\t' "$out_dir/mailsift.out" || true)
unknown=$(grep -c $'^unknown\t' "$out_dir/mailsift.out" || true)
matches=$(wc -l <"$out_dir/rg.out")

echo
awk -v bytes="$size" -v m="$mailsift_median" -v r="$rg_median" -v mb="$mailsift_best" -v rb="$rg_best" \
  -v found="$found" -v unknown="$unknown" -v matches="$matches" 'BEGIN {
  printf "corpus:   %d bytes (%.2f GB)\n", bytes, bytes / 1e9
  printf "mailsift: median %.3f s = %.2f GB/s, fastest %.3f s (%d found, %d unknown lines)\n", m, bytes / m / 1e9, mb, found, unknown
  printf "ripgrep:  median %.3f s = %.2f GB/s, fastest %.3f s (%d matches)\n", r, bytes / r / 1e9, rb, matches
  printf "mailsift is %.2f times as fast as ripgrep (ratio of the medians)\n", r / m
}'
echo
echo "load at end:   $(uptime)"
