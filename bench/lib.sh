# Shared by the peer-comparison scripts: argument checks, the build of the
# bench preset, timed runs on a warm page cache and the statistics. Sourced,
# not run; the script sets `script_name`, `repo`, `build` and `out_dir`, and
# defines `warm_cache` before calling timed_run.

die() {
  echo "$script_name: $*" >&2
  exit 2
}

# The size in bytes of a size argument such as 8192, 8K, 512M or 1G.
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

# positive_number NAME VALUE: VALUE as a number, or a clear error.
positive_number() {
  if [[ ! $2 =~ ^[0-9]+$ ]] || ((10#$2 == 0)); then
    die "$1 must be a positive number, not '$2'"
  fi
  echo $((10#$2))
}

# Builds the given targets of the bench preset (a no-op when up to date),
# with at most two jobs since the machine is shared. The build's output is
# shown only when it fails.
build_targets() {
  local build_log
  build_log=$(mktemp)
  if ! (
    cd "$repo"
    [[ -f $build/CMakeCache.txt ]] || cmake --preset bench
    cmake --build --preset bench --target "$@" -j 2
  ) >"$build_log" 2>&1; then
    cat "$build_log" >&2
    rm -f "$build_log"
    die "building the bench preset failed"
  fi
  rm -f "$build_log"
}

print_machine() {
  echo "load at start: $(uptime)"
  echo "machine:       $(nproc) cores, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
}

# Runs "$@" >$1 right after warm_cache, timed by bash's `time` (wall, user
# and system seconds to the millisecond). Sets `wall`, `user`, `sys` and
# `status`; the command's messages land in $out_dir/stderr.
timed_run() {
  local out=$1
  shift
  warm_cache
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

# Runs the arrays mailsift_command and rg_command `rounds` times each, one
# after the other, every run on a warm cache, and prints a line per round.
# Sets mailsift_median, rg_median, mailsift_best and rg_best; the last
# outputs stay in $out_dir/mailsift.out and $out_dir/rg.out.
run_rounds() {
  local mailsift_times=() rg_times=() mailsift_cpu round
  echo
  echo "seconds per round (wall, then user and system CPU time):"
  echo "round     mailsift   user    sys     ripgrep   user    sys"
  for ((round = 1; round <= rounds; round++)); do
    timed_run "$out_dir/mailsift.out" "${mailsift_command[@]}"
    ((status == 0)) || die "mailsift failed with status $status: $(cat "$out_dir/stderr")"
    mailsift_times+=("$wall")
    mailsift_cpu="$user $sys"

    timed_run "$out_dir/rg.out" "${rg_command[@]}"
    ((status <= 1)) || die "rg failed with status $status: $(cat "$out_dir/stderr")"
    rg_times+=("$wall")

    # shellcheck disable=SC2086  # two numbers, split on purpose
    printf '%5d  %11s %6s %6s  %10s %6s %6s\n' "$round" "${mailsift_times[-1]}" $mailsift_cpu "$wall" "$user" "$sys"
  done
  mailsift_median=$(median "${mailsift_times[@]}")
  rg_median=$(median "${rg_times[@]}")
  mailsift_best=$(minimum "${mailsift_times[@]}")
  rg_best=$(minimum "${rg_times[@]}")
}
