# The unattended uninstall end to end on a machine of its own: the product
# installed with CVNSvc running, both hooks called with "-a " on the command
# line, the machine restarted, then the exported stop-and-wait.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine

at_exit stop_test_services

run_host uninstall_e2e.exe install
# A user's file given the status file's name in the Windows directory as a
# second name (a hard link): the copy must replace the name, not write the
# shipped text into the user's file.
printf 'precious' >"$WINEPREFIX/drive_c/victim.txt"
ln -f "$WINEPREFIX/drive_c/victim.txt" "$WINEPREFIX/drive_c/windows/cvnunins.mi_"
# Names as the system keeps them (Unix names are the Unicode names Windows
# programs see): in Logs a file the ANSI calls list as "..\victim.txt"
# (U+FF0E U+FF0E U+FF3C on 1252), beside a victim.txt one level up, and one
# they list as "??.log". Both go with Logs; the victim stays.
install_dir="$WINEPREFIX/drive_c/Program Files/Corvane"
printf 'theirs' >"$install_dir/victim.txt"
printf 'planted' >"$install_dir/Logs/．．＼victim.txt"
printf 'log' >"$install_dir/Logs/日本.log"
run_host uninstall_e2e.exe uninstall -a -f"C:\\Program Files\\Corvane\\DeIsL1.isu"
check_eq "a hard-linked status file's other name keeps its text" precious \
  "$(cat "$WINEPREFIX/drive_c/victim.txt")"
check_eq "a best-fit name in Logs reaches nothing one level up" theirs "$(cat "$install_dir/victim.txt")"
check "Logs with names beyond the code page is gone" test ! -e "$install_dir/Logs"
rm -f "$install_dir/victim.txt"
wine_reboot
run_host uninstall_e2e.exe rebooted
run_host uninstall_e2e.exe ensure
finish
