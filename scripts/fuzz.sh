#!/usr/bin/env bash
# The fuzz targets (fuzz/*_fuzz.cpp): built with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer into build/fuzz, then each
# run for FUZZ_SECONDS (default 20) from its committed seed corpus.
#
#   scripts/fuzz.sh [TARGET...]      e.g. scripts/fuzz.sh registry_dump
#   scripts/fuzz.sh --long [TARGET...]
#
# --long is the campaign: each target in turn until FUZZ_RUNS inputs (default
# 10^7) or FUZZ_SECONDS (default 3600), whichever comes first, with FUZZ_JOBS
# parallel workers (default 1, libFuzzer's fork mode), its figures appended to
# build/fuzz/campaign.txt (target, executions, seconds, result). On a machine
# with two idle cores, run two lists of targets side by side; on a shared one,
# run it under nice:
#   nice -n 10 scripts/fuzz.sh --long
#
# Inputs that reach new code are kept in build/fuzz/corpus/TARGET; an input
# that crashes, leaks or fails a check is saved as
# build/fuzz/findings/TARGET-crash-* (rerun it: build/fuzz/cvn_fuzz_TARGET
# FILE; once fixed, copy it into fuzz/corpus/TARGET so the unit tests keep
# it). FUZZ_SEED, when set and not 0, fixes libFuzzer's random seed. Ends with
# "N passed, N failed" (one per target); exit code 1 when any target failed.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages "${CVN_NATIVE_PACKAGES[@]}" "${CVN_FUZZ_PACKAGES[@]}" ||
  { echo "0 passed, 1 failed"; exit 1; }

long=0
if [[ ${1:-} == --long ]]; then
  long=1
  shift
fi
seconds=${FUZZ_SECONDS:-$((long ? 3600 : 20))}
seed=()
[[ ${FUZZ_SEED:-0} != 0 ]] && seed=(-seed="$FUZZ_SEED")
jobs=()
((${FUZZ_JOBS:-1} > 1)) && jobs=(-fork="$FUZZ_JOBS")
limit=()
((long)) && limit=(-runs="${FUZZ_RUNS:-10000000}")
# Allocation stacks are not recorded while fuzzing, which nearly doubles the
# speed of the targets that build whole machines; rerunning a finding without
# this setting shows them.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}
build=$CVN_ROOT/build/fuzz
if ! cvn_build fuzz; then
  echo "0 passed, 1 failed"
  exit 1
fi

targets=("$@")
if ((${#targets[@]} == 0)); then
  for source in "$CVN_ROOT"/fuzz/*_fuzz.cpp; do
    name=${source##*/}
    targets+=("${name%_fuzz.cpp}")
  done
fi

passed=0
failed=0
mkdir -p "$build/findings" "$CVN_LOGS"
for target in "${targets[@]}"; do
  log=$CVN_LOGS/fuzz-$target.log
  mkdir -p "$build/corpus/$target"
  # New inputs go to the build's corpus; the committed seeds are only read.
  started=$(date +%s)
  if "$build/cvn_fuzz_$target" -max_total_time="$seconds" "${limit[@]}" "${seed[@]}" "${jobs[@]}" -timeout=25 \
       -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
       "$build/corpus/$target" "$CVN_ROOT/fuzz/corpus/$target" </dev/null >"$log" 2>&1; then
    result="no finding"
    passed=$((passed + 1))
  else
    result=FAILED
    failed=$((failed + 1))
  fi
  elapsed=$(($(date +%s) - started))
  # The final statistics, or in fork mode the last progress line.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [[ -z $runs ]] && runs=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')
  if [[ $result == FAILED ]]; then
    echo "fuzz $target: FAILED (log: ${log#"$CVN_ROOT"/})"
    grep -m 3 -E "ERROR:|SUMMARY:|what\(\):" "$log" | sed 's/^/  /'
    sed -n 's/^.*Test unit written to /  input: /p' "$log"
  else
    echo "fuzz $target: ${runs:-?} inputs in $elapsed s, no finding"
  fi
  ((long)) && echo "$target ${runs:-?} $elapsed $result" >>"$build/campaign.txt"
done

echo "$passed passed, $failed failed"
((failed == 0))
