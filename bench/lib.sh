# Shared by the peer-comparison scripts: argument checks, the build of the
# bench preset, the cached corpora, timed runs on a warm page cache with the
# peak memory of each run, and the statistics. Sourced, not run; the script
# sets `script_name`, `repo`, `build` and `out_dir`, and defines `warm_cache`
# before calling timed_run.

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

# GNU time, not bash's keyword: only it reports a process's peak memory.
gnu_time=/usr/bin/time

# Ends the script unless ripgrep and GNU time are there.
require_peers() {
  command -v rg >/dev/null || die "ripgrep (rg) is not installed"
  [[ -x $gnu_time ]] || die "GNU time ($gnu_time) is not installed"
}

# The corpus kinds a CORPUS argument names: mixed, dense or both.
corpus_kinds() {
  case $1 in
    mixed | dense) echo "$1" ;;
    both) echo "mixed dense" ;;
    *) die "CORPUS must be mixed, dense or both, not '$1'" ;;
  esac
}

# make_corpus KIND BYTES SEED DIR: sets `corpus` to the generated corpus of
# KIND, BYTES and SEED, cached in DIR and made again when `generator` is
# newer than the cached file. It is written under a temporary name first, so
# an interrupted run never leaves a truncated corpus to be reused. Call it
# before setting an EXIT trap of your own: it uses one while writing.
make_corpus() {
  local kind=$1 bytes=$2 seed=$3 dir=$4 name=mailsift-corpus
  [[ $kind == mixed ]] || name+=-$kind
  corpus=$dir/$name-$bytes-$seed.txt
  if [[ -s $corpus && $corpus -nt $generator ]]; then
    echo "corpus:        $corpus (cached)"
  else
    local partial=$corpus.partial.$$
    # shellcheck disable=SC2064  # the name is fixed now, on purpose
    trap "rm -f '$partial'" EXIT
    "$generator" "--kind=$kind" "$bytes" "$seed" "$partial"
    mv -f "$partial" "$corpus"
    trap - EXIT
    echo "corpus:        $corpus (new)"
  fi
  local size
  size=$(stat -c %s "$corpus")
  ((size == bytes)) || die "$corpus has $size bytes, expected $bytes"
}

# Runs "$@" >$1 right after warm_cache, timed by bash's `time` (wall, user
# and system seconds to the millisecond) and watched by GNU time, which
# reports its peak memory. When `pipe_input` names a file, the command reads
# it from `cat` through a pipe: the times are then those of the whole pipe,
# the peak memory that of the command on the right alone. Sets `wall`,
# `user`, `sys`, `peak_kib` and `status`; the command's messages land in
# $out_dir/stderr.
timed_run() {
  local out=$1
  shift
  warm_cache
  local TIMEFORMAT='%3R %3U %3S'
  status=0
  if [[ -n ${pipe_input:-} ]]; then
    # shellcheck disable=SC2002  # the pipe from cat is what is measured
    { time cat "$pipe_input" | "$gnu_time" -v -o "$out_dir/rusage" "$@" >"$out" 2>"$out_dir/stderr"; } \
      2>"$out_dir/time" || status=$?
  else
    { time "$gnu_time" -v -o "$out_dir/rusage" "$@" >"$out" 2>"$out_dir/stderr"; } 2>"$out_dir/time" || status=$?
  fi
  read -r wall user sys <"$out_dir/time"
  peak_kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$out_dir/rusage")
  [[ -n $peak_kib ]] || die "GNU time reported no peak memory: $(cat "$out_dir/rusage")"
}

# The median of a list of numbers.
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

minimum() { printf '%s\n' "$@" | sort -g | head -n 1; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# KiB as MiB with one decimal.
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# The highest exit status that still counts as success, by peer: ripgrep
# says 1 when nothing matched. Peers not listed must exit with 0.
declare -A allowed_status=([ripgrep]=1)

# Runs every peer named in the array `peers` `rounds` times, the peers one
# after the other within a round, every run on a warm cache, and prints a
# line per round. Peer P runs the array P_command, writing to $out_dir/P.out,
# where the last round's output stays. Sets, by peer name, wall_median,
# wall_best and peak_largest (KiB: peak memory hardly varies between rounds,
# so the largest is quoted).
declare -A wall_median wall_best peak_largest
run_rounds() {
  local peer round line header
  local -A walls peaks
  echo
  echo "seconds per round (wall, then user and system CPU time) and peak memory"
  echo "(MiB, maximum resident set size):"
  header=round
  for peer in "${peers[@]}"; do header+=$(printf '  %10s %6s %6s %7s' "$peer" user sys MiB); done
  echo "$header"
  for ((round = 1; round <= rounds; round++)); do
    line=$(printf '%5d' "$round")
    for peer in "${peers[@]}"; do
      local -n command=${peer}_command
      timed_run "$out_dir/$peer.out" "${command[@]}"
      unset -n command
      ((status <= ${allowed_status[$peer]:-0})) ||
        die "$peer failed with status $status: $(cat "$out_dir/stderr")"
      walls[$peer]+=" $wall"
      peaks[$peer]+=" $peak_kib"
      line+=$(printf '  %10s %6s %6s %7s' "$wall" "$user" "$sys" "$(mib "$peak_kib")")
    done
    echo "$line"
  done
  for peer in "${peers[@]}"; do
    # shellcheck disable=SC2086  # lists of numbers, split on purpose
    wall_median[$peer]=$(median ${walls[$peer]})
    # shellcheck disable=SC2086
    wall_best[$peer]=$(minimum ${walls[$peer]})
    # shellcheck disable=SC2086
    peak_largest[$peer]=$(maximum ${peaks[$peer]})
  done
}

# corpus_run_setup DEFAULT_BYTES DEFAULT_KIND [BYTES [ROUNDS [CORPUS]]]: the
# common start of the scripts that run on generated corpora. Reads the
# arguments (or MAILSIFT_CORPUS_BYTES, MAILSIFT_ROUNDS, MAILSIFT_CORPUS_KIND,
# MAILSIFT_CORPUS_SEED, MAILSIFT_CORPUS_DIR, MAILSIFT_OUT_DIR), checks them
# and the peers, prints the machine, builds mailsift and the generator, and
# makes the corpora. Sets build, mailsift, generator, bytes, rounds, kinds,
# seed, corpus_dir, out_base, pattern and corpora.
corpus_run_setup() {
  local default_bytes=$1 default_kind=$2
  shift 2
  build=$repo/build/bench
  mailsift=$build/src/cli/mailsift
  generator=$build/bench/mailsift-corpus
  local bytes_arg=${1:-${MAILSIFT_CORPUS_BYTES:-$default_bytes}}
  rounds=${2:-${MAILSIFT_ROUNDS:-5}}
  local kinds_arg=${3:-${MAILSIFT_CORPUS_KIND:-$default_kind}}
  seed=${MAILSIFT_CORPUS_SEED:-42}
  corpus_dir=${MAILSIFT_CORPUS_DIR:-/tmp}
  out_base=${MAILSIFT_OUT_DIR:-/dev/shm}
  pattern='[a-z0-9._-]+@[a-z0-9.-]+\.[a-z]{2,}'

  bytes=$(to_bytes "$bytes_arg")
  ((bytes > 0)) || die "the corpus size must be positive"
  rounds=$(positive_number ROUNDS "$rounds")
  local kinds_list
  kinds_list=$(corpus_kinds "$kinds_arg")
  read -r -a kinds <<<"$kinds_list"
  [[ $seed =~ ^[0-9]+$ ]] || die "MAILSIFT_CORPUS_SEED must be a number, not '$seed'"
  require_peers
  print_machine
  build_targets mailsift mailsift-corpus
  echo "programs:      $("$mailsift" --version), $(rg --version | sed -n 1p)"
  corpora=()
  local kind
  for kind in "${kinds[@]}"; do
    make_corpus "$kind" "$bytes" "$seed" "$corpus_dir"
    corpora+=("$corpus")
  done
}

# choose_mailsift: the binary MAILSIFT names, or the bench preset's, built
# first. Sets `mailsift`.
choose_mailsift() {
  if [[ -n ${MAILSIFT:-} ]]; then
    mailsift=$MAILSIFT
    [[ -x $mailsift ]] || die "MAILSIFT is not an executable file: $mailsift"
  else
    mailsift=$build/src/cli/mailsift
    build_targets mailsift
  fi
}
