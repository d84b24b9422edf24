#!/usr/bin/env bash
# The long fuzz run: every fuzz target for SECONDS (default 1800), one after the other, each
# with as many workers as there are cores. Usage: scripts/fuzz.sh BUILD-DIR [SECONDS] [TARGET...]
# The corpus grows in BUILD-DIR/fuzz/<target>/corpus; a finding is saved in
# BUILD-DIR/fuzz/<target>/findings/ and fails the run. Each target's last lines report the
# executions it made ("stat::number_of_executed_units").
set -euo pipefail
build_dir=$(cd "${1:-build-fuzz}" && pwd)
seconds=${2:-1800}
shift $(( $# > 2 ? 2 : $# ))
source_dir=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz-processor fuzz-opcodes fuzz-ini fuzz-disk fuzz-asm fuzz-disassembler
    fuzz-command-line)
fi
workers=$(nproc)
status=0
for target in "${targets[@]}"; do
  work="$build_dir/fuzz/$target"
  echo "== $target: $seconds s, $workers workers"
  mkdir -p "$work/logs"
  if [ "$workers" -gt 1 ]; then
    # Workers share the corpus; each writes its own log, whose statistics are summed below.
    (cd "$work/logs" && "$source_dir/fuzz/run-fuzzer.sh" "$build_dir/$target" \
        "$source_dir/fuzz/corpus/$target" "$work" "$seconds" \
        -jobs="$workers" -workers="$workers") || status=1
    grep -h "stat::number_of_executed_units" "$work"/logs/fuzz-*.log 2>/dev/null |
      awk -v t="$target" '{ sum += $2 } END { print t ": " sum " executions in all" }'
  else
    "$source_dir/fuzz/run-fuzzer.sh" "$build_dir/$target" "$source_dir/fuzz/corpus/$target" \
      "$work" "$seconds" || status=1
  fi
done
exit "$status"
