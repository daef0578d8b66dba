#!/usr/bin/env bash
# Times `mailsift extract` against ripgrep with an address pattern on one
# generated corpus (1 GiB unless told otherwise), each run on a warm page
# cache, and prints the medians, the throughput, the peak memory and how the
# two compare.
#
# Usage: bench/extract_vs_rg.sh [BYTES [ROUNDS [CORPUS]]]
#   BYTES   corpus size, K/M/G suffixes allowed (or MAILSIFT_CORPUS_BYTES; default 1G)
#   ROUNDS  timed runs of each program (or MAILSIFT_ROUNDS; default 5)
#   CORPUS  mixed, dense or both (or MAILSIFT_CORPUS_KIND; default mixed): the
#           corpus kinds of `mailsift-corpus --kind`, one after the other
# Other settings: MAILSIFT_CORPUS_SEED (default 42), MAILSIFT_CORPUS_DIR where
# the corpus is cached (default /tmp), MAILSIFT_OUT_DIR for the outputs
# (default /dev/shm).
# shellcheck disable=SC2034  # run_rounds runs the PEER_command arrays by name
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
corpus_run_setup 1G mixed "$@"

# Outputs go to real files: ripgrep can stop early when it writes to /dev/null.
out_dir=$(mktemp -d "$out_base/mailsift-vs-rg.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT

# Reads the corpus once, so the timed run finds it in the page cache.
warm_cache() { cat "$corpus" >/dev/null; }

peers=(mailsift ripgrep)
for i in "${!kinds[@]}"; do
  corpus=${corpora[i]}
  ((${#kinds[@]} == 1)) || printf '\n%s corpus: %s\n' "${kinds[i]}" "$corpus"
  mailsift_command=("$mailsift" extract "$corpus")
  ripgrep_command=(rg --no-config -o -i "$pattern" "$corpus")
  run_rounds
  found=$(grep -c $'^found\t' "$out_dir/mailsift.out" || true)
  unknown=$(grep -c $'^unknown\t' "$out_dir/mailsift.out" || true)
  matches=$(wc -l <"$out_dir/ripgrep.out")

  echo
  awk -v bytes="$bytes" -v kind="${kinds[i]}" -v m="${wall_median[mailsift]}" -v r="${wall_median[ripgrep]}" \
    -v mb="${wall_best[mailsift]}" -v rb="${wall_best[ripgrep]}" \
    -v mp="${peak_largest[mailsift]}" -v rp="${peak_largest[ripgrep]}" \
    -v found="$found" -v unknown="$unknown" -v matches="$matches" 'BEGIN {
    printf "corpus:   %d bytes (%.2f GB)%s\n", bytes, bytes / 1e9, kind == "mixed" ? "" : ", " kind
    printf "mailsift: median %.3f s = %.2f GB/s, fastest %.3f s, peak %.1f MiB (%d found, %d unknown lines)\n", m, bytes / m / 1e9, mb, mp / 1024, found, unknown
    printf "ripgrep:  median %.3f s = %.2f GB/s, fastest %.3f s, peak %.1f MiB (%d matches)\n", r, bytes / r / 1e9, rb, rp / 1024, matches
    printf "mailsift is %.2f times as fast as ripgrep (ratio of the medians)\n", r / m
  }'
done
echo
echo "load at end:   $(uptime)"
