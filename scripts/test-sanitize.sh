#!/usr/bin/env bash
# Runs the whole test suite in the sanitizer build. Every report of AddressSanitizer,
# UndefinedBehaviorSanitizer or LeakSanitizer goes to a file in REPORTS (child processes
# such as tarquil-run included) and fails the run, even when the test that caused it passed.
set -euo pipefail
build_dir=${1:-build-sanitize}
jobs=${2:-$(nproc)}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "$build_dir" && pwd)
reports="$build_dir/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"

# A distinct exit code, so that a report is never mistaken for a program's own status.
export ASAN_OPTIONS="detect_leaks=1:exitcode=86:log_path=$reports/asan:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=86:log_path=$reports/ubsan"
export LSAN_OPTIONS="suppressions=$source_dir/scripts/lsan-suppressions.txt:print_suppressions=0"

status=0
(cd "$build_dir" && ctest --output-on-failure -j "$jobs") || status=$?

shopt -s nullglob
found=("$reports"/*)
if [ ${#found[@]} -gt 0 ]; then
  echo "Sanitizer reports (${#found[@]}):" >&2
  for report in "${found[@]}"; do
    echo "==== $report" >&2
    cat "$report" >&2
  done
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "The sanitizer build failed." >&2
fi
exit "$status"
