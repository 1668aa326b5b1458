# The uninstall ended at a call that changes the machine, then run again: the
# real DLL in uninstall_kill.exe, which ends its own process just before or
# right after the Nth such call (a sample of the points, unattended and
# attended), the machine restarted or not, the whole uninstall run again,
# then restarted (wineboot -r carries out the pending renames and drops the
# volatile keys) and compared with what a clean uninstall leaves.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine
at_exit stop_test_services

# How many points of each mode are tried.
points_silent=${CVN_KILL_POINTS:-8}
points_attended=${CVN_KILL_POINTS_ATTENDED:-3}

# One point: MODE N before|after restart|norestart.
kill_point() {
  local mode=$1 n=$2 when=$3 restart=$4 loose=
  run_host uninstall_kill.exe install
  wine_run kill "$CVN_BUILD_DIR/uninstall_kill.exe" kill "$mode" "$n" "$when"
  local said
  said=$(tr -d '\r' <"$WINE_OUT" | grep '^ended ' || true)
  echo "$mode, $when change $n, $restart: $said"
  check "$mode: the process ended $when change $n" test "$WINE_RC" = 9
  if [[ $restart == restart ]]; then
    wine_reboot
    [[ $said == *'product key gone' ]] && loose=loose
  fi
  run_host uninstall_kill.exe rerun "$mode"
  wine_reboot
  run_host uninstall_kill.exe restarted "$mode" $loose
}

for mode in silent attended; do
  run_host uninstall_kill.exe install
  run_host uninstall_kill.exe count "$mode"
  changes=$(tr -d '\r' <"$WINE_OUT" | sed -n 's/^changes \([0-9]*\)$/\1/p')
  check "$mode: the clean uninstall changes the machine" test "${changes:-0}" -gt 0
  wine_reboot
  run_host uninstall_kill.exe restarted "$mode"
  [[ ${changes:-0} -gt 0 ]] || continue
  points=$points_silent
  [[ $mode == attended ]] && points=$points_attended
  # Evenly spread from the first change to the last; before and after, with
  # and without a restart, in turn.
  for ((k = 0; k < points; ++k)); do
    n=$((1 + k * (changes - 1) / (points > 1 ? points - 1 : 1)))
    when=before
    ((k % 2)) && when=after
    restart=norestart
    ((k / 2 % 2)) && restart=restart
    kill_point "$mode" "$n" "$when" "$restart"
  done
done
finish
