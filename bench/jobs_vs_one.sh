#!/usr/bin/env bash
# Times `mailsift extract --jobs=2` against `--jobs=1` on one large file, and
# beside them what this machine gives two readers at all: `dd` reading the
# whole file with one process against two processes each reading one half.
# Reading from the page cache is a memory copy, and on a shared virtual
# machine two copies at once may not run twice as fast as one; the ratio of
# the two readers is the ceiling for the part of the work that is reading.
# Every run on a warm page cache; prints the medians, the throughput, the
# peak memory and the two ratios.
#
# Usage: bench/jobs_vs_one.sh [BYTES [ROUNDS [CORPUS [PLACE]]]]
#   BYTES   corpus size, K/M/G suffixes allowed (or MAILSIFT_CORPUS_BYTES; default 1G)
#   ROUNDS  timed runs of each program (or MAILSIFT_ROUNDS; default 5)
#   CORPUS  mixed, dense or both (or MAILSIFT_CORPUS_KIND; default both)
#   PLACE   disk (the corpus where it is cached) or tmpfs (a copy in
#           MAILSIFT_TMPFS_DIR, default /dev/shm); or MAILSIFT_PLACE; default disk
# Other settings as in extract_vs_rg.sh.
# shellcheck disable=SC2034  # run_rounds runs the PEER_command arrays by name
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
place=${4:-${MAILSIFT_PLACE:-disk}}
[[ $place == disk || $place == tmpfs ]] || die "PLACE must be disk or tmpfs, not '$place'"
corpus_run_setup 1G both "${@:1:3}"
tmpfs_base=${MAILSIFT_TMPFS_DIR:-/dev/shm}

out_dir=$(mktemp -d "$out_base/mailsift-jobs.XXXXXX")
tmpfs_dir=
if [[ $place == tmpfs ]]; then
  [[ $(stat -f -c %T "$tmpfs_base") == tmpfs ]] || die "$tmpfs_base is not a tmpfs (MAILSIFT_TMPFS_DIR)"
  tmpfs_dir=$(mktemp -d "$tmpfs_base/mailsift-jobs-copy.XXXXXX")
fi
trap 'rm -rf "$out_dir" ${tmpfs_dir:+"$tmpfs_dir"}' EXIT

warm_cache() { cat "$input" >/dev/null; }

block=$((256 * 1024))
allowed_status[read_2]=0
compare() {
  awk -v bytes="$bytes" -v a="$1" -v b="$2" \
    -v am="${wall_median[$1]}" -v bm="${wall_median[$2]}" -v ap="${peak_largest[$1]}" -v bp="${peak_largest[$2]}" 'BEGIN {
    printf "%-7s median %.3f s = %.2f GB/s, peak %.1f MiB\n", a ":", am, bytes / am / 1e9, ap / 1024
    printf "%-7s median %.3f s = %.2f GB/s, peak %.1f MiB\n", b ":", bm, bytes / bm / 1e9, bp / 1024
    printf "%s is %.2f times as fast as %s (ratio of the medians)\n", a, bm / am, b
  }'
}

for i in "${!kinds[@]}"; do
  input=${corpora[i]}
  if [[ $place == tmpfs ]]; then
    cp "$input" "$tmpfs_dir/corpus.txt"
    input=$tmpfs_dir/corpus.txt
  fi
  printf '\n%s corpus in %s: %s, %d bytes\n' "${kinds[i]}" "$place" "$input" "$bytes"
  blocks=$(((bytes + block - 1) / block))
  half=$((blocks / 2))
  peers=(jobs_2 jobs_1 read_2 read_1)
  jobs_2_command=("$mailsift" extract --jobs=2 "$input")
  jobs_1_command=("$mailsift" extract --jobs=1 "$input")
  # The peak memory of the two readers is that of the shell that waits for them.
  read_2_command=(bash -c 'dd if="$1" of=/dev/null bs="$2" count="$3" status=none &
    dd if="$1" of=/dev/null bs="$2" skip="$3" status=none; wait $!' read_2 "$input" "$block" "$half")
  read_1_command=(dd if="$input" of=/dev/null bs="$block" status=none)
  run_rounds
  cmp -s "$out_dir/jobs_2.out" "$out_dir/jobs_1.out" || die "--jobs=2 and --jobs=1 printed different lines"
  echo
  compare jobs_2 jobs_1
  compare read_2 read_1
  awk -v j="$(awk -v a="${wall_median[jobs_1]}" -v b="${wall_median[jobs_2]}" 'BEGIN { print a / b }')" \
    -v r="$(awk -v a="${wall_median[read_1]}" -v b="${wall_median[read_2]}" 'BEGIN { print a / b }')" 'BEGIN {
    printf "two threads give %.2f times one thread; two readers give %.2f times one reader here\n", j, r
  }'
  [[ -z $tmpfs_dir ]] || rm -f "$tmpfs_dir/corpus.txt"
done
echo
echo "load at end:   $(uptime)"
