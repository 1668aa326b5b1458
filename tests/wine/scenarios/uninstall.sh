# The unattended uninstall end to end on a machine of its own: the product
# installed with CVNSvc running, both hooks called with "-a " on the command
# line, the machine restarted, then the exported stop-and-wait.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine

# Ends every test service process this scenario started that still runs, by
# the process ids the service program recorded.
stop_test_services() {
  local pids=$WINEPREFIX/drive_c/cvn_test_service.pid pid
  [[ -f $pids ]] || return 0
  while read -r pid; do
    pid=${pid%$'\r'}
    [[ -n $pid ]] && wine_run taskkill taskkill /f /pid "$pid"
  done <"$pids"
  return 0
}
at_exit stop_test_services

run_host uninstall_e2e.exe install
run_host uninstall_e2e.exe uninstall -a -f"C:\\Program Files\\Corvane\\DeIsL1.isu"
wine_reboot
run_host uninstall_e2e.exe rebooted
run_host uninstall_e2e.exe ensure
finish
