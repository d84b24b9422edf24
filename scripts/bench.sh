#!/usr/bin/env bash
# Prints the benchmark table and writes it to BUILD_DIR/bench-results.txt (and appends it to
# BUILD_DIR/bench-history.txt), so that figures can be compared across commits.
#
# Per program: emulated instructions per second (best of three runs), the ratio of the
# emulated time to the native reference's, heap allocations while the slices ran, and the
# host instructions per emulated instruction that callgrind counts for a short run of the
# slices alone (a figure that stays the same on a busy machine). Then the tight loop through
# the headless runner with --stats, and the runner's peak resident memory.
set -euo pipefail

build_dir=${1:-build}
bench="$build_dir/tarquil-bench"
images="$build_dir/bench/programs"
runner="$build_dir/tarquil-run"
results="$build_dir/bench-results.txt"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ ! -x "$bench" ]; then
  echo "bench: $bench is missing (configure with -DTARQUIL_BENCH=ON and build)" >&2
  exit 1
fi

# field NAME LINE: the value of NAME=... in a line of key=value pairs.
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

echo "Running the benchmark programs (best of 3) ..." >&2
"$bench" --images "$images" >"$scratch/timed.txt"

have_valgrind=0
command -v valgrind >/dev/null && have_valgrind=1

{
  echo "Tarquil benchmarks"
  echo "commit:  $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet 2>/dev/null || echo ' (modified)')"
  echo "date:    $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo "machine: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "build:   $build_dir ($(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt" 2>/dev/null))"
  echo
  printf '%-11s %14s %9s %10s %9s %12s %12s\n' program instructions MIPS native_s ratio host_ins/ins allocations
  while read -r line; do
    name=${line%% *}
    per_instruction="-"
    if [ $have_valgrind = 1 ]; then
      out="$scratch/callgrind.$name"
      quick=$(valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
                --toggle-collect=bench_run_slices \
                "$bench" --images "$images" --quick --only "$name" 2>/dev/null)
      emulated=$(field instructions " $quick")
      host=$(sed -n 's/^\(summary\|totals\): *\([0-9]*\).*/\2/p' "$out" | head -1)
      if [ -n "$emulated" ] && [ -n "$host" ] && [ "$emulated" -gt 0 ]; then
        per_instruction=$(awk -v h="$host" -v e="$emulated" 'BEGIN { printf "%.1f", h / e }')
      fi
    fi
    printf '%-11s %14s %9s %10s %9s %12s %12s\n' "$name" "$(field instructions " $line")" \
      "$(field mips " $line")" "$(field native_seconds " $line")" "$(field ratio " $line")" \
      "$per_instruction" "$(field allocations " $line")"
  done <"$scratch/timed.txt"
  echo

  if [ -x "$runner" ]; then
    # The tight loop as a user runs it; --memory 1m, so the peak resident memory minus 1 MB
    # is what the emulator needs beyond its data memory (an upper bound: not all of the data
    # memory is touched).
    /usr/bin/time -v -o "$scratch/time.txt" "$runner" --stats --memory 1m \
      "$images/loop.disk" >"$scratch/run.txt" 2>&1 || true
    echo "tarquil-run --stats --memory 1m loop.disk:"
    sed 's/^/  /' "$scratch/run.txt"
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$scratch/time.txt")
    echo "  peak resident memory: ${rss:-?} KB (data memory 1024 KB)"
  else
    echo "tarquil-run: not built, no runner figures"
  fi
} | tee "$scratch/table.txt"

cp "$scratch/table.txt" "$results"
{ cat "$scratch/table.txt"; echo; } >>"$build_dir/bench-history.txt"
echo "Written to $results" >&2
