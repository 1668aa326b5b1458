# The simulation's conformance cases (tests/conformance) over the real API:
# conformance.exe on the shared machine, in the scratch key
# HKLM\SOFTWARE\CvnConformance and the scratch directory C:\cvnconf (and, for
# the cases around a restart of the machine, CvnConformanceRestart and
# C:\cvnconf-restart). Its case lines are kept in the results
# (conformance.cases) for scripts/test.sh, which counts a case as passed when
# it passed here and on the simulation.
source "$(dirname "$0")/../lib.sh"

wine_use_shared

# The service cases start the test service program, which records its
# process id here; any still running at the end is ended by that id.
service_pids=$WINEPREFIX/drive_c/cvnconf-service.pid
end_test_services() {
  local pid
  [[ -f $service_pids ]] || return 0
  while read -r pid; do
    pid=${pid%$'\r'}
    [[ -n $pid ]] && wine_run taskkill taskkill /f /pid "$pid"
  done <"$service_pids"
  rm -f "$service_pids"
}
at_exit end_test_services

# The cases, then the machine restarts and the second parts of the cases
# around a restart run.
cases=$CVN_RESULTS_DIR/conformance.cases
wine_run cases "$CVN_BUILD_DIR/conformance.exe"
tr -d '\r' <"$WINE_OUT" >"$cases"
check "conformance.exe ran to its summary (exit code $WINE_RC)" grep -q '^conformance both: ' "$cases"
wine_reboot
wine_run after_restart "$CVN_BUILD_DIR/conformance.exe" after-restart
tr -d '\r' <"$WINE_OUT" >>"$cases"
check "conformance.exe after-restart ran to its summary (exit code $WINE_RC)" \
  grep -q '^conformance after restart both: ' "$cases"
grep -v '^PASS ' "$cases" || true
check "no case failed under Wine" test "$(grep -c '^FAIL both ' "$cases")" = 0
finish
