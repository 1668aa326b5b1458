# The unattended uninstall end to end on a machine of its own: the product
# installed with CVNSvc running, both hooks called with "-a " on the command
# line, the machine restarted, then the exported stop-and-wait.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine

at_exit stop_test_services

run_host uninstall_e2e.exe install
run_host uninstall_e2e.exe uninstall -a -f"C:\\Program Files\\Corvane\\DeIsL1.isu"
wine_reboot
run_host uninstall_e2e.exe rebooted
run_host uninstall_e2e.exe ensure
finish
