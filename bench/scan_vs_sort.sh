#!/usr/bin/env bash
# Times `mailsift scan FILE` against `LC_ALL=C sort -u FILE` on one generated
# file of distinct addresses, one per line (a million unless told otherwise):
# both read it, drop duplicates and print the rest sorted, so for these
# plain addresses their outputs must be equal. Each run starts on a warm page
# cache; every time is printed with the run's peak memory, then the medians
# and how the two compare.
#
# Usage: bench/scan_vs_sort.sh [ADDRESSES [ROUNDS]]
#   ADDRESSES  distinct addresses in the file (or MAILSIFT_ADDRESSES; default 1000000)
#   ROUNDS     timed runs of each program (or MAILSIFT_ROUNDS; default 5)
# Other settings: MAILSIFT_CORPUS_SEED (default 42), MAILSIFT_CORPUS_DIR where
# the file is cached (default /tmp), MAILSIFT_OUT_DIR for the outputs
# (default /dev/shm).
set -euo pipefail
export LC_ALL=C  # the same number format for awk and the byte order for sort

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
build=$repo/build/bench
mailsift=$build/src/cli/mailsift

count=$(positive_number ADDRESSES "${1:-${MAILSIFT_ADDRESSES:-1000000}}")
rounds=$(positive_number ROUNDS "${2:-${MAILSIFT_ROUNDS:-5}}")
seed=${MAILSIFT_CORPUS_SEED:-42}
corpus_dir=${MAILSIFT_CORPUS_DIR:-/tmp}
out_base=${MAILSIFT_OUT_DIR:-/dev/shm}

[[ $seed =~ ^[0-9]+$ ]] || die "MAILSIFT_CORPUS_SEED must be a number, not '$seed'"
[[ -x /usr/bin/time ]] || die "GNU time (/usr/bin/time) is not installed"

print_machine

build_targets mailsift
echo "programs:      $("$mailsift" --version), $(sort --version | sed -n 1p)"

# The addresses: a local part of 4 to 12 random letters and digits, now and
# then with a dot or an underscore inside, "@", 4 to 9 random letters and a
# common top-level domain; one that came up before is drawn again, so all
# are distinct. The generator is Park and Miller's minimal standard, exact
# in awk's arithmetic, so every awk makes the same file from the same seed.
# The file is cached by count and seed, written under a temporary name
# first so that an interrupted run never leaves a truncated file to be
# reused, and made again when this script is newer.
addresses=$corpus_dir/mailsift-addresses-$count-$seed.txt
if [[ -s $addresses && $addresses -nt ${BASH_SOURCE[0]} ]]; then
  echo "addresses:     $addresses (cached)"
else
  partial=$addresses.partial.$$
  trap 'rm -f "$partial"' EXIT
  awk -v count="$count" -v seed="$seed" '
    function below(n) {
      state = (state * 48271) % 2147483647
      return int(state / 2147483647 * n)
    }
    function drawn(alphabet, least, most,   text, k, n) {
      n = least + below(most - least + 1)
      text = ""
      for (k = 0; k < n; k++) text = text substr(alphabet, below(length(alphabet)) + 1, 1)
      return text
    }
    BEGIN {
      letters = "abcdefghijklmnopqrstuvwxyz"
      split("com net org de info at ch edu", tlds, " ")
      state = seed % 2147483646 + 1
      while (made < count) {
        local = drawn(letters "0123456789", 4, 12)
        if (below(4) == 0) {
          cut = 1 + below(length(local) - 1)
          local = substr(local, 1, cut) substr("._", below(2) + 1, 1) substr(local, cut + 1)
        }
        address = local "@" drawn(letters, 4, 9) "." tlds[below(8) + 1]
        if (address in seen) continue
        seen[address] = 1
        print address
        made++
      }
    }' >"$partial"
  mv -f "$partial" "$addresses"
  trap - EXIT
  echo "addresses:     $addresses (new)"
fi
size=$(stat -c %s "$addresses")

out_dir=$(mktemp -d "$out_base/mailsift-vs-sort.XXXXXX")
trap 'rm -rf "$out_dir"' EXIT

# Reads the file once, so the timed run finds it in the page cache.
warm_cache() { cat "$addresses" >/dev/null; }

# Runs "$@" >$1 right after warm_cache, timed by bash's `time` (wall, user
# and system seconds to the millisecond) and measured by GNU time -v (the
# peak resident memory). Sets `wall`, `user`, `sys`, `peak` (MiB) and
# `status`; the command's messages land in $out_dir/stderr.
measured_run() {
  local out=$1
  shift
  warm_cache
  local TIMEFORMAT='%3R %3U %3S'
  status=0
  { time /usr/bin/time -v -o "$out_dir/memory" "$@" >"$out" 2>"$out_dir/stderr"; } 2>"$out_dir/time" || status=$?
  read -r wall user sys <"$out_dir/time"
  peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$out_dir/memory")
}

mailsift_times=() sort_times=() mailsift_peaks=() sort_peaks=()
echo
echo "seconds per round (wall, user, system) and peak resident memory (MiB):"
echo "round     mailsift   user    sys    peak       sort   user    sys    peak"
for ((round = 1; round <= rounds; round++)); do
  measured_run "$out_dir/mailsift.out" "$mailsift" scan "$addresses"
  ((status == 0)) || die "mailsift failed with status $status: $(cat "$out_dir/stderr")"
  mailsift_times+=("$wall")
  mailsift_peaks+=("$peak")
  line=$(printf '%5d  %11s %6s %6s %7s' "$round" "$wall" "$user" "$sys" "$peak")

  measured_run "$out_dir/sort.out" sort -u "$addresses"
  ((status == 0)) || die "sort failed with status $status: $(cat "$out_dir/stderr")"
  sort_times+=("$wall")
  sort_peaks+=("$peak")
  printf '%s  %9s %6s %6s %7s\n' "$line" "$wall" "$user" "$sys" "$peak"
done
cmp -s "$out_dir/mailsift.out" "$out_dir/sort.out" || die "the outputs of mailsift and sort differ"
lines=$(wc -l <"$out_dir/mailsift.out")

echo
awk -v bytes="$size" -v lines="$lines" -v m="$(median "${mailsift_times[@]}")" -v s="$(median "${sort_times[@]}")" \
  -v mb="$(minimum "${mailsift_times[@]}")" -v sb="$(minimum "${sort_times[@]}")" \
  -v mp="$(median "${mailsift_peaks[@]}")" -v sp="$(median "${sort_peaks[@]}")" 'BEGIN {
  printf "file:     %d bytes (%.1f MB), %d distinct addresses; both outputs equal\n", bytes, bytes / 1e6, lines
  printf "mailsift: median %.3f s, fastest %.3f s, median peak %.1f MiB\n", m, mb, mp
  printf "sort -u:  median %.3f s, fastest %.3f s, median peak %.1f MiB\n", s, sb, sp
  if (s > 0) printf "mailsift takes %.2f of the time of sort -u (ratio of the medians)\n", m / s
}'
echo
echo "load at end:   $(uptime)"
