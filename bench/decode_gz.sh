#!/usr/bin/env bash
# Times decompressing every .gz file under a folder (/usr/share/doc unless
# told otherwise, about 2,000 files, most of them a few kilobytes): through
# readContainer, through libarchive alone and through zlib alone (the
# decode_gz program, with the files already in memory), and with `zcat` over
# the same list (files from the page cache, processes started in batches by
# xargs). Prints the medians and the time per file; the differences are the
# per-file costs of each layer.
#
# Usage: bench/decode_gz.sh [FOLDER [ROUNDS]]
#   FOLDER  where to look for .gz files (default /usr/share/doc)
#   ROUNDS  timed runs of each (default 5)
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=$(basename "$0" .sh)
build=$repo/build/bench
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"

folder=${1:-/usr/share/doc}
rounds=$(positive_number ROUNDS "${2:-5}")
[[ -d $folder ]] || die "no such folder: $folder"
build_targets decode_gz

list=$(mktemp)
trap 'rm -f "$list"' EXIT
find "$folder" -type f -name '*.gz' | sort >"$list"
count=$(wc -l <"$list")
((count > 0)) || die "no .gz files under $folder"

print_machine
"$build/bench/decode_gz" "$rounds" <"$list"

TIMEFORMAT=%3R
zcat_walls=()
for ((round = 0; round < rounds; ++round)); do
  xargs -d '\n' cat <"$list" >/dev/null
  seconds=$({ time xargs -d '\n' zcat -f <"$list" >/dev/null; } 2>&1)
  zcat_walls+=("$seconds")
done
wall=$(median "${zcat_walls[@]}")
awk -v wall="$wall" -v count="$count" 'BEGIN {
  printf "%-14s %9.4f %9s %12.2f\n", "zcat", wall, "-", wall * 1e6 / count
}'
