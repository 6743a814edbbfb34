#!/bin/sh
# Runs every fuzz target for a number of seconds on its committed corpus and
# prints, per target, the executions, the coverage and the corpus size. New
# inputs go to BUILD/fuzz-corpus/TARGET, crashes to BUILD/fuzz-artifacts.
#
#   fuzz/run.sh BUILD_DIR SECONDS
set -u
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
mkdir -p "$build/fuzz-artifacts"
printf '%-12s %12s %10s %14s  %s\n' target executions edges corpus result
for target in image_bytes quad_stream kernels damage; do
  work="$build/fuzz-corpus/$target"
  log="$build/fuzz-$target.log"
  mkdir -p "$work"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$target-" "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (log: $log)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  corpus=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$log" | tail -n 1 | cut -d' ' -f2)
  printf '%-12s %12s %10s %14s  %s\n' "$target" "${runs:-?}" "${edges:-?}" "${corpus:-?}" "$result"
  if [ "$result" != ok ]; then
    grep -E 'ERROR|check failed|runtime error|SUMMARY' "$log" | head -n 5
  fi
done
exit $status
