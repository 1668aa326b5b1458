#!/usr/bin/env bash
# count.sh NATIVE_CASES WINE_CASES: joins the case lines of the two builds of
# the conformance cases (cvn_conformance, conformance.exe under Wine) and
# prints the cases that ran on both builds: each failure, then one line
# "sim-conformance: N passed, N failed". A case passes when it passed on both
# (a case around a restart may have a FAIL line from its first part and a
# PASS line from its second: it failed); a case missing from either list
# fails.
set -uo pipefail
native=${1:?native case lines} wine=${2:?Wine case lines}
[[ -f $native ]] || native=/dev/null
[[ -f $wine ]] || wine=/dev/null
awk '
  /^(PASS|FAIL) both / {
    build = FILENAME == ARGV[1] ? 1 : 2
    name = $0; sub(/^(PASS|FAIL) both /, "", name)
    names[name] = 1
    if ($1 == "PASS") passed[build, name] = 1
    if ($1 == "FAIL") failed[build, name] = 1
  }
  END {
    p = 0; f = 0
    for (name in names) {
      ok1 = passed[1, name] && !failed[1, name]
      ok2 = passed[2, name] && !failed[2, name]
      if (ok1 && ok2) { p++; continue }
      f++
      printf "sim-conformance FAILED: %s (simulation %s, Wine %s)\n", name,
             ok1 ? "passed" : "failed or missing", ok2 ? "passed" : "failed or missing"
    }
    printf "sim-conformance: %d passed, %d failed\n", p, f
  }' "$native" "$wine"
