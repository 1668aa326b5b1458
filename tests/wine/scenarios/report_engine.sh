# The environment report of the real binaries: cvncheck's options, usage and
# output file, and setup's two report exports with their message modules.
# Runs that reach the checks look names up in a hosts file only.
source "$(dirname "$0")/../lib.sh"

wine_use_shared
cd "$CVN_OUTPUT_DIR"

usage=$'\r\ncvncheck [-warnings | -errors] [-eventlogs] [-out filename] [-?]\r\n\r\n'
usage+=$'       -?              displays this help\r\n'
usage+=$'       -warnings       Only report warning or error conditions\r\n'
usage+=$'       -errors         Only report error conditions\r\n'
usage+=$'       -eventlogs      dump all Corvane Event Log entries\r\n'
usage+=$'       -out filename   redirect output to named file\r\n'
header_title=$'Velmora Software Corvane environment check.\r'
header_time='^V1\.5\.1 Build 841-0 - Current Time [A-Z][a-z]+day, [A-Z][a-z]+ [0-9]{1,2}, [0-9]{4} [0-9]{1,2}:[0-9]{2}:[0-9]{2} [AP]M'$'\r''$'
# The last line of a report: one of the three summary forms.
summary='^There were (no problem issues|no serious problems|[0-9]+ serious problems|[0-9]+ potential problems) detected\.'$'\r''$'

# check_report WRITER FILE: title, then version, date and time, and a summary at the end.
check_report() {
  check_eq "$1 writes the title first" "$header_title" "$(sed -n 1p "$2")"
  check "$1 writes version, date and time second" grep -Eq "$header_time" <(sed -n 2p "$2")
  check "$1 ends with the summary" grep -Eq "$summary" <(tail -n 1 "$2")
}

wine_run help "$CVN_BUILD_DIR/cvncheck.exe" -?
check_eq "cvncheck -? exits 0" 0 "$WINE_RC"
check_eq "cvncheck -? prints the usage" "${usage}x" "$(cat "$WINE_OUT"; echo x)"

wine_run unknown "$CVN_BUILD_DIR/cvncheck.exe" -Warnings -verbose
check_eq "an unknown option exits 0" 0 "$WINE_RC"
check_eq "an unknown option is named before the usage" \
  $'Argument "-verbose" not known...\r\n'"${usage}x" "$(cat "$WINE_OUT"; echo x)"

wine_run out_last "$CVN_BUILD_DIR/cvncheck.exe" -errors -out
check_eq "-out without a name exits with -1" 255 "$WINE_RC"
check_eq "-out without a name prints nothing" 0 "$(stat -c %s "$WINE_OUT")"

long_name=$(printf 'r%.0s' $(seq 1 260))
wine_run out_long "$CVN_BUILD_DIR/cvncheck.exe" -out "$long_name"
check_eq "-out with a 260-character name exits with -1" 255 "$WINE_RC"
check_eq "-out with a 260-character name prints nothing" 0 "$(stat -c %s "$WINE_OUT")"

rm -f cvncheck.txt
wine_run_offline out_file "$CVN_BUILD_DIR/cvncheck.exe" -OUT cvncheck.txt
check "cvncheck -out exits with a summary result (0, 1 or 2)" test "$WINE_RC" -le 2
check_eq "cvncheck -out prints nothing to the console" 0 "$(stat -c %s "$WINE_OUT")"
check_report cvncheck cvncheck.txt

rm -f health.txt
wine_run_offline health "$CVN_BUILD_DIR/call_export.exe" zrHealthLog health.txt CVNUNIST.dll
check_eq "zrHealthLog returns 0" 0 "$WINE_RC"
check_report zrHealthLog health.txt

rm -f health_bad.txt
wine_run_offline health_bad "$CVN_BUILD_DIR/call_export.exe" zrHealthLog health_bad.txt kernel32.dll
check_eq "zrHealthLog with a module without catalog returns 0" 0 "$WINE_RC"
check_eq "every catalog line of that module reads ***BAD STRING ID***" \
  '***BAD STRING ID***V1.5.1 Build 841-0 - ***BAD STRING ID***' \
  "$(head -c 59 health_bad.txt)"
check "the summary line is a bad string id too" grep -q 'BAD STRING ID\*\*\*$' <(tail -c 19 health_bad.txt)

rm -f validate.txt
wine_run_offline validate "$CVN_BUILD_DIR/call_export.exe" ValidateEnvironment 0 1 validate.txt "alpha beta" CVNUNIST.dll
check "ValidateEnvironment returns a severity" test "$WINE_RC" -le 2
check "ValidateEnvironment writes its file" test -f validate.txt

wine_run validate_nofile "$CVN_BUILD_DIR/call_export.exe" ValidateEnvironment 0 0 'Q:\no\such\dir\v.txt'
check_eq "ValidateEnvironment into a file that cannot be opened returns -1" 255 "$WINE_RC"

finish
