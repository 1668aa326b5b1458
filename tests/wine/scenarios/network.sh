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
# ---- A name server given by an address without a reverse record ------------------------
# 127.0.0.2 is loopback (this machine) and the hosts file has no name for it:
# it is pinged by its address, not reported unknown.
tcpip='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters'
wine_run name_server reg add "$tcpip" /v NameServer /d '127.0.0.2' /f
wine_run report_name_server "$CVN_BUILD_DIR/cvncheck.exe"
report=$(text "$WINE_OUT")
check "a dotted name server without a name is pinged by its address" \
  contains "$report" $'\nPinging Name servers...\n Pinging: 127.0.0.2 (127.0.0.2) from '
check "a dotted name server without a name is no problem" lacks "$report" "Name Server 127.0.0.2"
wine_run name_server_off reg delete "$tcpip" /v NameServer /f

# ---- A machine of two addresses, in a network namespace of its own --------------------
# The namespace's loopback carries two more addresses for this host's own
# name (cvnns); a route there is unreachable, so an echo to it gets an ICMP
# error at once. Nothing leaves the namespace. Wine's server keeps the
# sockets, so the namespace's machine runs a server of its own inside it.
wine_use_pristine "${CVN_SCENARIO}_two_addresses"
wine_server_stop
printf '127.0.0.1 localhost\n192.0.2.10 cvnns\n198.51.100.10 cvnns\n' >"$CVN_HOSTS_FILE"
ns_out=$CVN_OUTPUT_DIR/$CVN_SCENARIO.ns
ns_body() {
  ip link set lo up &&
    ip addr add 192.0.2.10/32 dev lo &&
    ip addr add 198.51.100.10/32 dev lo &&
    ip route add unreachable 203.0.113.0/24 &&
    hostname cvnns || return 1
  wine_server_start
  wine_run ns_probe "$CVN_BUILD_DIR/wine_network.exe" probe
  wine_run ns_name_servers reg add "$tcpip" /v NameServer /d '198.51.100.10,127.0.0.3' /f
  wine_run ns_report "$CVN_BUILD_DIR/cvncheck.exe"
  wine_run ns_validate "$CVN_BUILD_DIR/wine_network.exe" validate 0 'C:\validate.txt' '203.0.113.5 '
  wine_server_stop
}
export -f ns_body wine_server_start wine_server_stop wine_run
export tcpip WINEPREFIX CVN_BUILD_DIR CVN_OUTPUT_DIR CVN_SCENARIO
launcher=$(declare -p WINE_LAUNCHER)
unshare -n -u bash -c "$launcher; ns_body" </dev/null >"$ns_out.out" 2>&1
check "the namespace was set up ($(head -c 300 "$ns_out.out"))" test -f "$CVN_OUTPUT_DIR/$CVN_SCENARIO.ns_probe.out"

probe=$(text "$CVN_OUTPUT_DIR/$CVN_SCENARIO.ns_probe.out")
printf '%s\n' "$probe"
check "two addresses: the probe saw the second address" contains "$probe" "second address: 198.51.100.10"
check "two addresses: every probe check passed" grep -qE '^[1-9][0-9]* passed, 0 failed$' <<<"$probe"

report=$(text "$CVN_OUTPUT_DIR/$CVN_SCENARIO.ns_report.out")
check "comma-separated name servers: the first is pinged" contains "$report" " Pinging: 198.51.100.10 (cvnns) from "
check "comma-separated name servers: the second, without a name, is pinged by its address" \
  contains "$report" $' Pinging: 127.0.0.3 (127.0.0.3) from cvnns with 32 bytes of data...\n Got response in '
check "comma-separated name servers: both answered" lacks "$report" "Problem pinging Name Server"
check "comma-separated name servers: neither is malformed" lacks "$report" "malformed"

validation=$(text "$WINEPREFIX/drive_c/validate.txt")
printf '%s\n' "$validation"
check "an unreachable target fails its echo, with no response" contains "$validation" \
  $'(203.0.113.5) from cvnns with 32 bytes of data...\n SendEcho to 203.0.113.5 (203.0.113.5) failed.\n'
# Wine has no IP helper text: the status is not told as a WinSock look-up error.
check "an unreachable target's status is not a look-up error's text" lacks "$validation" "onrecoverable"
finish
