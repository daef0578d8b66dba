#!/usr/bin/env bash
# Times `mailsift extract FILE` against ripgrep where the file's pages come
# from two places: a copy in tmpfs (memory, no backing file system) and a copy
# on the corpus's file system written 4 KiB at a time, so the page cache holds
# it in small pages rather than in the large folios a bulk write or readahead
# gives. Then `mailsift extract --jobs=2` against `--jobs=1` on the tmpfs
# copy, when mailsift takes --jobs. On generated corpora (256 MiB of each kind
# unless told otherwise), each run on a warm page cache; prints the medians,
# the throughput, the peak memory and how the programs compare.
#
# Usage: bench/tmpfs_vs_rg.sh [BYTES [ROUNDS [CORPUS]]]
#   BYTES   corpus size, K/M/G suffixes allowed (or MAILSIFT_CORPUS_BYTES; default 256M)
#   ROUNDS  timed runs of each program (or MAILSIFT_ROUNDS; default 5)
#   CORPUS  mixed, dense or both (or MAILSIFT_CORPUS_KIND; default both)
# Other settings: MAILSIFT_CORPUS_SEED (default 42), MAILSIFT_CORPUS_DIR where
# the corpora are cached and the small-page copy is written (default /tmp),
# MAILSIFT_TMPFS_DIR a tmpfs for the memory copy (default /dev/shm),
# MAILSIFT_OUT_DIR for the outputs (default /dev/shm).
# shellcheck disable=SC2034  # run_rounds runs the PEER_command arrays by name
set -euo pipefail
export LC_ALL=C  # the same number format for bash's time, sort and awk

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
corpus_run_setup 256M both "$@"
tmpfs_base=${MAILSIFT_TMPFS_DIR:-/dev/shm}
piece=4096
[[ $(stat -f -c %T "$tmpfs_base") == tmpfs ]] || die "$tmpfs_base is not a tmpfs (MAILSIFT_TMPFS_DIR)"

# Outputs go to real files: ripgrep can stop early when it writes to /dev/null.
out_dir=$(mktemp -d "$out_base/mailsift-tmpfs-vs-rg.XXXXXX")
tmpfs_dir=$(mktemp -d "$tmpfs_base/mailsift-tmpfs-copy.XXXXXX")
small_dir=$(mktemp -d "$corpus_dir/mailsift-small-pages.XXXXXX")
trap 'rm -rf "$out_dir" "$tmpfs_dir" "$small_dir"' EXIT
tmpfs_copy=$tmpfs_dir/corpus.txt
small_copy=$small_dir/corpus.txt

# Whether this mailsift reads one file with several threads.
extract_help=$("$mailsift" extract --help)
has_jobs=false
if grep -q -- --jobs <<<"$extract_help"; then has_jobs=true; fi

# tmpfs uses huge pages only when its mount options or this setting say so.
shmem_huge=$(sed -n 's/.*\[\(.*\)\].*/\1/p' /sys/kernel/mm/transparent_hugepage/shmem_enabled 2>/dev/null) || true
echo "tmpfs copy:    $tmpfs_copy (mounted $(findmnt -fno OPTIONS -T "$tmpfs_base"); shmem_enabled ${shmem_huge:-unknown})"
echo "small pages:   $small_copy ($(findmnt -fno FSTYPE -T "$corpus_dir"), written $piece bytes at a time)"
echo "ripgrep runs with -j1: on one file it searches with one thread anyway"

# Reads the file about to be searched once, so the timed run finds it in the
# page cache. Reading keeps the pages the cache already holds as they are.
warm_cache() { cat "$input" >/dev/null; }

# compare PEER PEER: the medians, throughput and peak memory of two peers
# after run_rounds, and how much faster the first is.
compare() {
  awk -v bytes="$bytes" -v a="$1" -v b="$2" \
    -v am="${wall_median[$1]}" -v bm="${wall_median[$2]}" -v ab="${wall_best[$1]}" -v bb="${wall_best[$2]}" \
    -v ap="${peak_largest[$1]}" -v bp="${peak_largest[$2]}" 'BEGIN {
    printf "%-13s median %.3f s = %.2f GB/s, fastest %.3f s, peak %.1f MiB\n", a ":", am, bytes / am / 1e9, ab, ap / 1024
    printf "%-13s median %.3f s = %.2f GB/s, fastest %.3f s, peak %.1f MiB\n", b ":", bm, bytes / bm / 1e9, bb, bp / 1024
    printf "%s is %.2f times as fast as %s (ratio of the medians)\n", a, bm / am, b
  }'
}

peers=(mailsift ripgrep)
for i in "${!kinds[@]}"; do
  corpus=${corpora[i]}
  printf '\n%s corpus: %s, %d bytes (%.2f GB)\n' "${kinds[i]}" "$corpus" "$bytes" "$(awk -v b="$bytes" 'BEGIN { print b / 1e9 }')"
  cp "$corpus" "$tmpfs_copy"
  # A fresh file, so no page of it is in the cache before the small writes.
  rm -f "$small_copy"
  dd if="$corpus" of="$small_copy" bs="$piece" status=none

  for place in tmpfs small; do
    if [[ $place == tmpfs ]]; then
      input=$tmpfs_copy
      printf '\nin tmpfs:'
    else
      input=$small_copy
      printf '\nin small pages:'
    fi
    peers=(mailsift ripgrep)
    mailsift_command=("$mailsift" extract "$input")
    ripgrep_command=(rg --no-config -j1 -o -i "$pattern" "$input")
    run_rounds
    matches=$(wc -l <"$out_dir/ripgrep.out")
    lines=$(wc -l <"$out_dir/mailsift.out")
    echo
    compare mailsift ripgrep
    echo "(mailsift printed $lines lines, ripgrep $matches matches)"
  done

  input=$tmpfs_copy
  echo
  if $has_jobs; then
    printf 'mailsift extract --jobs=2 against --jobs=1, in tmpfs:'
    peers=(jobs_2 jobs_1)
    jobs_2_command=("$mailsift" extract --jobs=2 "$input")
    jobs_1_command=("$mailsift" extract --jobs=1 "$input")
    run_rounds
    cmp -s "$out_dir/jobs_2.out" "$out_dir/jobs_1.out" || die "--jobs=2 and --jobs=1 printed different lines"
    echo
    compare jobs_2 jobs_1
  else
    echo "mailsift extract --jobs=2 against --jobs=1: n/a (mailsift extract takes no --jobs)"
  fi
  rm -f "$tmpfs_copy" "$small_copy"
done
echo
echo "load at end:   $(uptime)"
