#!/usr/bin/env bash
# Times `mailsift extract` reading a pipe against ripgrep reading the same
# pipe and against a plain `cat` at the end of it, the most a pipe gives: on
# generated corpora (256 MiB of each kind unless told otherwise), each run on
# a warm page cache. Prints the medians, the throughput, the peak memory of
# the program on the right of the pipe and how the three compare.
#
# Usage: bench/pipe_vs_rg.sh [BYTES [ROUNDS [CORPUS]]]
#   BYTES   corpus size, K/M/G suffixes allowed (or MAILSIFT_CORPUS_BYTES; default 256M)
#   ROUNDS  timed runs of each program (or MAILSIFT_ROUNDS; default 5)
#   CORPUS  mixed, dense or both (or MAILSIFT_CORPUS_KIND; default both)
# Other settings: MAILSIFT_CORPUS_SEED (default 42), MAILSIFT_CORPUS_DIR where
# the corpora are cached (default /tmp), MAILSIFT_OUT_DIR for the outputs
# (default /dev/shm).
# shellcheck disable=SC2034  # run_rounds runs the PEER_command arrays by name
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
corpus_run_setup 256M both "$@"

# Outputs go to real files, `cat`'s copy of the corpus too: ripgrep can stop
# early when it writes to /dev/null.
out_dir=$(mktemp -d "$out_base/mailsift-pipe-vs-rg.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT

# Reads the corpus once, so the `cat` on the left finds it in the page cache.
warm_cache() { cat "$pipe_input" >/dev/null; }

echo "each run:      cat CORPUS | PROGRAM >$out_dir/PROGRAM.out"
echo "               (times of the whole pipe, peak memory of PROGRAM alone)"
peers=(mailsift ripgrep cat)
mailsift_command=("$mailsift" extract)
ripgrep_command=(rg --no-config -o -i "$pattern")
cat_command=(cat)
for i in "${!kinds[@]}"; do
  pipe_input=${corpora[i]}
  printf '\n%s corpus: %s\n' "${kinds[i]}" "$pipe_input"
  run_rounds
  found=$(grep -c $'^found\t' "$out_dir/mailsift.out" || true)
  unknown=$(grep -c $'^unknown\t' "$out_dir/mailsift.out" || true)
  matches=$(wc -l <"$out_dir/ripgrep.out")
  copied=$(stat -c %s "$out_dir/cat.out")
  ((copied == bytes)) || die "cat copied $copied bytes, expected $bytes"
  # The copy is as large as the corpus and lives in memory: drop it now.
  rm -f "$out_dir/cat.out"

  echo
  awk -v bytes="$bytes" -v kind="${kinds[i]}" \
    -v m="${wall_median[mailsift]}" -v r="${wall_median[ripgrep]}" -v c="${wall_median[cat]}" \
    -v mb="${wall_best[mailsift]}" -v rb="${wall_best[ripgrep]}" -v cb="${wall_best[cat]}" \
    -v mp="${peak_largest[mailsift]}" -v rp="${peak_largest[ripgrep]}" -v cp="${peak_largest[cat]}" \
    -v found="$found" -v unknown="$unknown" -v matches="$matches" 'BEGIN {
    printf "corpus:   %d bytes (%.2f GB), %s, through a pipe\n", bytes, bytes / 1e9, kind
    printf "mailsift: median %.3f s = %.2f GB/s, fastest %.3f s, peak %.1f MiB (%d found, %d unknown lines)\n", m, bytes / m / 1e9, mb, mp / 1024, found, unknown
    printf "ripgrep:  median %.3f s = %.2f GB/s, fastest %.3f s, peak %.1f MiB (%d matches)\n", r, bytes / r / 1e9, rb, rp / 1024, matches
    printf "cat:      median %.3f s = %.2f GB/s, fastest %.3f s, peak %.1f MiB\n", c, bytes / c / 1e9, cb, cp / 1024
    printf "mailsift takes %.2f times as long as cat | cat, the limit (ratio of the medians)\n", m / c
    printf "mailsift is %.2f times as fast as ripgrep (ratio of the medians)\n", r / m
  }'
done
echo
echo "load at end:   $(uptime)"
