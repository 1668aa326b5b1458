#!/usr/bin/env bash
# Every test: the native unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of each fuzz target (FUZZ_SECONDS,
# default 15, see scripts/fuzz.sh), then the Windows build and its tests
# under Wine, then two more Windows builds that must give the same bytes,
# then the conformance of the simulation to the real API.
# Installs what is missing first. Ends with one line "N passed, N failed"
# (unit test cases plus Wine checks); the exit code is 1 on any failure.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages "${CVN_NATIVE_PACKAGES[@]}" "${CVN_COVERAGE_PACKAGES[@]}" "${CVN_FUZZ_PACKAGES[@]}" \
                "${CVN_WIN32_PACKAGES[@]}" "${CVN_WINE_PACKAGES[@]}" "${CVN_PACKAGE_PACKAGES[@]}" ||
  { echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
timings=()
now() { date +%s; }

# ---- Native unit tests ----------------------------------------------------------
start=$(now)
native=$CVN_ROOT/build/native
gtest_xml=$native/gtest-results.xml
rm -f "$gtest_xml"
if cvn_build native; then
  # Counts of an earlier run would add to this one's coverage.
  find "$native" -name '*.gcda' -delete
  ctest_status=0
  (cd "$CVN_ROOT" && GTEST_OUTPUT=xml:$gtest_xml ctest --preset native) || ctest_status=$?
  if [[ -f $gtest_xml ]]; then
    # <testsuites tests="N" failures="F" disabled="D" errors="E" ...>
    read -r tests failures disabled errors < <(
      sed -n 's/.*<testsuites tests="\([0-9]*\)" failures="\([0-9]*\)" disabled="\([0-9]*\)" errors="\([0-9]*\)".*/\1 \2 \3 \4/p' \
        "$gtest_xml" | head -n 1)
    passed=$((passed + ${tests:-0} - ${failures:-0} - ${disabled:-0} - ${errors:-0}))
    failed=$((failed + ${failures:-0} + ${errors:-0}))
    # A run that dies after its results (a leak found at exit) still fails.
    if [[ $ctest_status != 0 && ${failures:-0} == 0 && ${errors:-0} == 0 ]]; then
      failed=$((failed + 1))
    fi
  else
    echo "The native unit tests left no results (crashed?)"
    failed=$((failed + 1))
  fi
else
  failed=$((failed + 1))
fi
timings+=("native tests $(($(now) - start)) s")

# ---- Branch coverage of the product code ----------------------------------------
# The native build instruments common/, uninstall/ and envcheck/ (CVN_COVERAGE); the
# unit tests' branch coverage there, without exception edges, must reach the
# gate. One check, passed or failed. The detailed report goes to a file of the
# build: gcovr replaces its output file, and as root that would replace
# /dev/null itself.
coverage_gate=97
read -r taken total < <(
  cd "$CVN_ROOT" &&
  gcovr --root . --filter 'common/' --filter 'uninstall/' --filter 'envcheck/' --exclude-throw-branches \
        --print-summary --output "$native/coverage.txt" "$native" 2>/dev/null |
    sed -n 's/^branches: .*(\([0-9]*\) out of \([0-9]*\)).*/\1 \2/p')
if [[ ${total:-0} -gt 0 ]]; then
  percent=$(awk -v t="$taken" -v n="$total" 'BEGIN { printf "%.1f", 100 * t / n }')
  echo "branch coverage of product code: $percent% ($taken of $total), gate $coverage_gate%"
  if ((taken * 100 >= coverage_gate * total)); then
    passed=$((passed + 1))
  else
    echo "branch coverage of product code is below the gate"
    failed=$((failed + 1))
  fi
else
  echo "branch coverage of product code: not measured"
  failed=$((failed + 1))
fi

# ---- Fuzzing ----------------------------------------------------------------------
# One pass or failure per target, from the "N passed, N failed" that ends
# fuzz.sh's output. A fixed seed makes the run repeatable: the same inputs in
# the same order on every machine (FUZZ_SEED=0 picks a new one each time).
start=$(now)
fuzz_output=$(FUZZ_SECONDS=${FUZZ_SECONDS:-15} FUZZ_SEED=${FUZZ_SEED:-1} "$CVN_ROOT/scripts/fuzz.sh")
sed '$d' <<<"$fuzz_output"
read -r p _ f _ < <(tail -n 1 <<<"$fuzz_output")
if [[ $p =~ ^[0-9]+$ && $f =~ ^[0-9]+$ ]]; then
  passed=$((passed + p))
  failed=$((failed + f))
else
  failed=$((failed + 1))
fi
timings+=("fuzzing $(($(now) - start)) s")

# ---- Windows build ----------------------------------------------------------------
start=$(now)
win32_built=0
if cvn_build win32; then
  win32_built=1
else
  failed=$((failed + 1))
fi
timings+=("win32 build $(($(now) - start)) s")

# ---- Wine benchmark, briefly ----------------------------------------------------
# A short run of scripts/bench-wine.sh (100 items, one round, a Wine prefix of
# its own): it must run, do its work and print a ratio for each measurement.
start=$(now)
if ((win32_built)); then
  bench_output=$(timeout 60 "$CVN_ROOT/scripts/bench-wine.sh" -r 1 100 2>&1)
  bench_status=$?
  ratios=$(grep -cE '^(registry dump|registry delete|leftover purge) +[0-9]+ \|.*([0-9]x|n/a) \|' \
    <<<"$bench_output")
  if [[ $bench_status == 0 && $ratios == 3 ]]; then
    passed=$((passed + 1))
  else
    echo "FAILED: scripts/bench-wine.sh (exit code $bench_status, $ratios of 3 ratio lines):"
    tail -n 20 <<<"$bench_output"
    failed=$((failed + 1))
  fi
fi
timings+=("wine bench $(($(now) - start)) s")

# ---- Wine tests ---------------------------------------------------------------------
# Each scenario leaves its "N passed, N failed" in wine/results; a failed test
# without failed checks there (it never got to its summary) counts once.
start=$(now)
if ((win32_built)); then
  win32=$CVN_ROOT/build/win32
  results=$win32/wine/results
  rm -rf "$results"
  rm -f "$win32/Testing/Temporary/LastTestsFailed.log"
  (cd "$CVN_ROOT" && ctest --preset win32) || true
  shopt -s nullglob
  for summary in "$results"/*.summary; do
    read -r p _ f _ <"$summary"
    passed=$((passed + p))
    failed=$((failed + f))
  done
  if [[ -f $win32/Testing/Temporary/LastTestsFailed.log ]]; then
    while IFS=: read -r _ test; do
      summary=$results/${test#wine.}.summary
      f=0
      [[ -f $summary ]] && read -r _ _ f _ <"$summary"
      [[ $f == 0 ]] && failed=$((failed + 1))
    done <"$win32/Testing/Temporary/LastTestsFailed.log"
  fi
fi
timings+=("wine tests $(($(now) - start)) s")

# ---- Reproducible build ------------------------------------------------------------
# Two clean builds of this tree, copied to two directories of different names
# and depths, give bit-identical CVNUNIST.dll and cvncheck.exe, stamped with
# the time of the last commit, and bit-identical import libraries of the kit.
start=$(now)
repro=$(mktemp -d)
epoch=$(git -C "$CVN_ROOT" log -1 --format=%ct 2>/dev/null || echo 0)
repro_trees=("$repro/one/cvnunist" "$repro/second/copy/of/the/tree")
repro_built=1
for tree in "${repro_trees[@]}"; do
  mkdir -p "$tree"
  tar -C "$CVN_ROOT" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$tree" -xf -
  (cd "$tree" && export SOURCE_DATE_EPOCH=$epoch &&
   cvn_quiet reproducible-configure cmake --preset win32 &&
   cvn_quiet reproducible-build cmake --build --preset win32 -j "$CVN_JOBS" \
     --target CVNUNIST cvncheck cvn_kit_implibs) ||
    repro_built=0
done
if ((repro_built)); then
  for file in CVNUNIST.dll cvncheck.exe kit/lib/libcvnunist.a kit/lib/cvnunist.lib; do
    if cmp "${repro_trees[0]}/build/win32/$file" "${repro_trees[1]}/build/win32/$file"; then
      passed=$((passed + 1))
    else
      echo "FAILED: two builds of $file differ"
      failed=$((failed + 1))
    fi
  done
  stamp=$(i686-w64-mingw32-objdump -p "${repro_trees[0]}/build/win32/CVNUNIST.dll" |
            awk '$1 == "Time/Date" && $2 == "stamp" { print $3 }')
  if [[ $stamp == "$(printf '%08x' "$epoch")" ]]; then
    passed=$((passed + 1))
  else
    echo "FAILED: CVNUNIST.dll is stamped $stamp, not with the commit time $epoch"
    failed=$((failed + 1))
  fi
else
  failed=$((failed + 1))
fi
rm -rf "$repro"
timings+=("reproducible build $(($(now) - start)) s")

# ---- Conformance of the simulation --------------------------------------------------
# The cases of tests/conformance on both builds: over the simulation
# (cvn_conformance) and over the real API under Wine (wine.conformance keeps
# its case lines). A case that runs on both counts once, passed when it passed
# on both; the line "sim-conformance: N passed, N failed" says how many.
start=$(now)
conformance_native=$CVN_ROOT/build/native/conformance.cases
"$CVN_ROOT/build/native/cvn_conformance" >"$conformance_native" 2>&1 || true
conformance=$("$CVN_ROOT/tests/conformance/count.sh" "$conformance_native" \
  "$CVN_ROOT/build/win32/wine/results/conformance.cases")
echo "$conformance"
read -r _ p _ f _ < <(tail -n 1 <<<"$conformance")
if [[ $p =~ ^[0-9]+$ && $f =~ ^[0-9]+$ ]]; then
  passed=$((passed + p))
  failed=$((failed + f))
else
  failed=$((failed + 1))
fi
timings+=("sim conformance $(($(now) - start)) s")

echo "Times: $(IFS=,; echo "${timings[*]}" | sed 's/,/, /g')"
echo "$passed passed, $failed failed"
((failed == 0))
