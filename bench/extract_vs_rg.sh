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
build=$repo/build/bench
mailsift=$build/src/cli/mailsift
generator=$build/bench/mailsift-corpus

bytes_arg=${1:-${MAILSIFT_CORPUS_BYTES:-1G}}
rounds=${2:-${MAILSIFT_ROUNDS:-5}}
seed=${MAILSIFT_CORPUS_SEED:-42}
corpus_dir=${MAILSIFT_CORPUS_DIR:-/tmp}
out_base=${MAILSIFT_OUT_DIR:-/dev/shm}
pattern='[a-z0-9._-]+@[a-z0-9.-]+\.[a-z]{2,}'

die() {
  echo "extract_vs_rg: $*" >&2
  exit 2
}

# The size in bytes of a BYTES argument such as 1073741824, 512M or 1G.
to_bytes() {
  local value=$1
  [[ $value =~ ^([0-9]+)([KkMmGg]?)$ ]] || die "not a size: '$value'"
  local number=${BASH_REMATCH[1]} shift=0
  case ${BASH_REMATCH[2]} in
    K | k) shift=10 ;;
    M | m) shift=20 ;;
    G | g) shift=30 ;;
  esac
  echo $((10#$number << shift))
}

bytes=$(to_bytes "$bytes_arg")
((bytes > 0)) || die "the corpus size must be positive"
if [[ ! $rounds =~ ^[0-9]+$ ]] || ((10#$rounds == 0)); then
  die "ROUNDS must be a positive number, not '$rounds'"
fi
rounds=$((10#$rounds))
[[ $seed =~ ^[0-9]+$ ]] || die "MAILSIFT_CORPUS_SEED must be a number, not '$seed'"
command -v rg >/dev/null || die "ripgrep (rg) is not installed"

echo "load at start: $(uptime)"
echo "machine:       $(nproc) cores, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"

# Build (a no-op when up to date). At most two jobs: the machine is shared.
# The build's output is shown only when it fails.
build_log=$(mktemp)
if ! (
  cd "$repo"
  [[ -f $build/CMakeCache.txt ]] || cmake --preset bench
  cmake --build --preset bench --target mailsift mailsift-corpus -j 2
) >"$build_log" 2>&1; then
  cat "$build_log" >&2
  rm -f "$build_log"
  die "building the bench preset failed"
fi
rm -f "$build_log"
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

# Runs "$@" >$1 right after warming the page cache, timed by bash's `time`
# (wall, user and system seconds to the millisecond). Sets `wall`, `user`,
# `sys` and `status`; the command's messages land in $out_dir/stderr.
timed_run() {
  local out=$1
  shift
  cat "$corpus" >/dev/null
  local TIMEFORMAT='%3R %3U %3S'
  status=0
  { time "$@" >"$out" 2>"$out_dir/stderr"; } 2>"$out_dir/time" || status=$?
  read -r wall user sys <"$out_dir/time"
}

# The median of a list of numbers.
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

minimum() { printf '%s\n' "$@" | sort -g | head -n 1; }

mailsift_times=()
rg_times=()
echo
echo "seconds per round (wall, then user and system CPU time):"
echo "round     mailsift   user    sys     ripgrep   user    sys"
for ((round = 1; round <= rounds; round++)); do
  timed_run "$out_dir/mailsift.out" "$mailsift" extract "$corpus"
  ((status == 0)) || die "mailsift extract failed with status $status: $(cat "$out_dir/stderr")"
  mailsift_times+=("$wall")
  mailsift_cpu="$user $sys"

  timed_run "$out_dir/rg.out" rg --no-config -o -i "$pattern" "$corpus"
  ((status <= 1)) || die "rg failed with status $status: $(cat "$out_dir/stderr")"
  rg_times+=("$wall")

  # shellcheck disable=SC2086  # two numbers, split on purpose
  printf '%5d  %11s %6s %6s  %10s %6s %6s\n' "$round" "${mailsift_times[-1]}" $mailsift_cpu "$wall" "$user" "$sys"
done

mailsift_median=$(median "${mailsift_times[@]}")
rg_median=$(median "${rg_times[@]}")
mailsift_best=$(minimum "${mailsift_times[@]}")
rg_best=$(minimum "${rg_times[@]}")
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
