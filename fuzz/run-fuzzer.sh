#!/usr/bin/env bash
# Runs one fuzz target for a bounded time: run-fuzzer.sh TARGET SEEDS WORKDIR SECONDS [ARGS]
# New inputs go to WORKDIR/corpus (the seed directory is only read), a finding to
# WORKDIR/findings/, and a finding fails the run.
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4
shift 4
mkdir -p "$work/corpus" "$work/findings"
# Absolute paths: a target may change its working directory.
seeds=$(cd "$seeds" && pwd)
work=$(cd "$work" && pwd)
# Memory and time bounds per input: a run that needs more is a finding too.
exec "$target" "$work/corpus" "$seeds" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
  -artifact_prefix="$work/findings/" -print_final_stats=1 "$@"
