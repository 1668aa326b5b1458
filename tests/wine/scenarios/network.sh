# The network exports and sections of the real DLL on this machine: the port
# probe against listeners of its own, a real ONC RPC port mapper on port 111
# for the port section, and target pings of the validation. Traffic stays on
# loopback and this machine's own address; name look-ups read the scenario's
# hosts file only (see wine_run).
source "$(dirname "$0")/../lib.sh"

wine_use_pristine
product_key='HKLM\SOFTWARE\Velmora Software\Corvane\1.5'

# text FILE: a Wine output file without its carriage returns.
text() { [[ -f $1 ]] || return 0; tr -d '\r' <"$1"; }
contains() { [[ $1 == *"$2"* ]]; }
lacks() { [[ $1 != *"$2"* ]]; }

# ---- zrPortExists -----------------------------------------------------------------
run_host wine_network.exe probe
own=$(text "$WINE_OUT" | sed -n 's/^this host: \(.*\) at \([0-9.]*\)$/\2 \1/p')

# ---- The port section against a real port mapper -------------------------------------
port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if ! port_in_use 111; then
  command -v rpcbind >/dev/null || check "rpcbind is installed (scripts/lib/common.sh)" false
  setsid rpcbind -f </dev/null >"$CVN_OUTPUT_DIR/$CVN_SCENARIO.rpcbind.out" 2>&1 &
  rpcbind_pid=$!
  at_exit "kill $rpcbind_pid"
  for _ in $(seq 50); do port_in_use 111 && break; sleep 0.1; done
fi
check "a port mapper listens on port 111" port_in_use 111

heading=$'TCP/IP PORT ASSIGNMENTS:\n\n'
mapper_with_service=$'The Corvane service is installed and there is a \nTCP/IP port mapper running on this system.\n\n'
no_conflicts=$'There were no TCP/IP port conflicts detected\n'
mapper_without_service=$'Warning: The Corvane service is not installed and\nthere is a TCP/IP port mapper running on this system.\n\n'
mapper_advice=$'Recommendation: The currently installed TCP/IP portmapper may be\nused by the Corvane, however there service dependencies\nthe must be configured after the Zivuzodize is installed.\nContact Velmora Software technical support for assistance.\n'

wine_run type1 reg add "$product_key" /v Type /t REG_DWORD /d 1 /f
wine_run report_type1 "$CVN_BUILD_DIR/cvncheck.exe"
report=$(text "$WINE_OUT")
check "Type 1: the port section shows the port mapper and no conflicts" \
  contains "$report" "$heading$mapper_with_service$no_conflicts"

check "the self ping is answered" contains "$report" $'\nPinging Self...\n Pinging: '
check "the self ping reports its time" contains "$report" $'bytes of data...\n Got response in '

wine_run type0 reg add "$product_key" /v Type /t REG_DWORD /d 0 /f
wine_run report_type0 "$CVN_BUILD_DIR/cvncheck.exe"
report=$(text "$WINE_OUT")
check "Type 0: the port section warns of the port mapper" \
  contains "$report" "$heading$mapper_without_service$mapper_advice"

# ---- ValidateEnvironment's target pings ---------------------------------------------
# This host's own address resolves back to its name, so the naming check is quiet.
[[ -n $own ]] && printf '%s\n' "$own" >>"$CVN_HOSTS_FILE"
validate_file="$WINEPREFIX/drive_c/validate.txt"

rm -f "$validate_file"
# (The result also holds the other checks' findings on this machine.)
wine_run validate_loopback "$CVN_BUILD_DIR/wine_network.exe" validate 1 'C:\validate.txt' '127.0.0.1 '
validation=$(text "$validate_file")
check "targets \"127.0.0.1 \": validation ran" test -f "$validate_file"
check "targets \"127.0.0.1 \": the target answered" lacks "$validation" "Target Server"

rm -f "$validate_file"
wine_run validate_unknown "$CVN_BUILD_DIR/wine_network.exe" validate 1 'C:\validate.txt' 'nowhere.invalid '
check "unknown target: validation result at least 1" test "$WINE_RC" -ge 1 -a "$WINE_RC" -le 2
check "unknown target: its name is reported" \
  contains "$(text "$validate_file")" $'Problem Pinging Target Server...\n Unknown name: nowhere.invalid\n'
finish
