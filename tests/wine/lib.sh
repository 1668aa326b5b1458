# Shell side of the Wine tests, sourced by tests/wine/scenarios/*.sh and the
# prefix fixtures. CTest (cmake/wine_tests.cmake) passes CVN_SOURCE_DIR,
# CVN_BUILD_DIR (the win32 binaries, side by side), CVN_WINE_DIR (prefixes,
# captured output and results of this run) and CVN_OBJDUMP.
#
# A scenario:
#   source "$(dirname "$0")/../lib.sh"
#   wine_use_shared                      # or wine_use_pristine for a fresh machine
#   run_host wine_dll_test.exe           # a check host: its checks count here
#   wine_run step "$CVN_BUILD_DIR/cvncheck.exe" -?   # any program: WINE_RC, WINE_OUT
#   check_eq "cvncheck -? exits 0" 0 "$WINE_RC"        # names: a hosts file only
#   finish                               # "N passed, N failed", exit status
set -euo pipefail

: "${CVN_BUILD_DIR:?run the Wine scenarios through ctest --preset win32}"
CVN_SOURCE_DIR=${CVN_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
CVN_WINE_DIR=${CVN_WINE_DIR:-$CVN_BUILD_DIR/wine}
CVN_TEMPLATE_PREFIX=$CVN_WINE_DIR/template
CVN_SHARED_PREFIX=$CVN_WINE_DIR/shared
CVN_PRISTINE_DIR=$CVN_WINE_DIR/pristine
CVN_RESULTS_DIR=$CVN_WINE_DIR/results
CVN_OUTPUT_DIR=$CVN_WINE_DIR/output
CVN_SCENARIO=$(basename "$0" .sh)

# Our own 32-bit machine, quiet, without the .NET and HTML engine installers,
# and without a display (MessageBoxA then fails at once instead of waiting).
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$CVN_RESULTS_DIR" "$CVN_OUTPUT_DIR"
rm -f "$CVN_RESULTS_DIR/$CVN_SCENARIO.summary"

CVN_PASSED=0
CVN_FAILED=0
CVN_AT_EXIT=()
cvn_run_at_exit() {
  local i
  for ((i = ${#CVN_AT_EXIT[@]} - 1; i >= 0; i--)); do eval "${CVN_AT_EXIT[i]}" || true; done
}
trap cvn_run_at_exit EXIT
# Runs a command when the script ends, newest first.
at_exit() { CVN_AT_EXIT+=("$*"); }

# ---- Wine machines ------------------------------------------------------------
# Wine's helper processes inherit the caller's descriptors: every Wine command
# here reads /dev/null and writes to files, never to a pipe CTest waits on.

# Starts a persistent server for $WINEPREFIX (unless one runs) and boots it.
wine_server_start() {
  setsid wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit 0 </dev/null >"$CVN_OUTPUT_DIR/$CVN_SCENARIO.boot.out" 2>&1
}

# Stops every process of $WINEPREFIX and its server (registry saved).
wine_server_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}

# Restarts the machine: volatile keys vanish, pending file operations are done.
wine_reboot() {
  wine_server_stop
  wine_server_start
}

# The machine shared by the scenarios of this run (made by prefix_setup.sh).
wine_use_shared() {
  [[ -f $CVN_SHARED_PREFIX/system.reg ]] || {
    echo "no Wine prefix at $CVN_SHARED_PREFIX: the wine.prefix_setup fixture did not run" >&2
    exit 1
  }
  export WINEPREFIX=$CVN_SHARED_PREFIX
  wine_server_start
}

# A fresh machine of its own for this scenario (a copy of the template prefix),
# stopped when the script ends. Optional argument: a name for the prefix.
wine_use_pristine() {
  local prefix=$CVN_PRISTINE_DIR/${1:-$CVN_SCENARIO}
  [[ -f $CVN_TEMPLATE_PREFIX/system.reg ]] || {
    echo "no template prefix at $CVN_TEMPLATE_PREFIX: the wine.prefix_setup fixture did not run" >&2
    exit 1
  }
  if [[ -d $prefix ]]; then WINEPREFIX=$prefix wine_server_stop; fi
  rm -rf "$prefix"
  mkdir -p "$CVN_PRISTINE_DIR"
  cp -a "$CVN_TEMPLATE_PREFIX" "$prefix"
  export WINEPREFIX=$prefix
  at_exit "WINEPREFIX='$prefix' wine_server_stop"
  wine_server_start
}

# wine_run NAME PROGRAM [ARGS...]: runs PROGRAM under Wine (names from the
# hosts file only, see below) with its output in files. Sets WINE_RC (exit
# code), WINE_OUT and WINE_ERR (the files; stdout keeps Windows line ends).
# Never fails by itself.
wine_run() {
  local name=$1
  shift
  WINE_OUT=$CVN_OUTPUT_DIR/$CVN_SCENARIO.$name.out
  WINE_ERR=$CVN_OUTPUT_DIR/$CVN_SCENARIO.$name.err
  WINE_RC=0
  "${WINE_LAUNCHER[@]}" wine "$@" </dev/null >"$WINE_OUT" 2>"$WINE_ERR" || WINE_RC=$?
}

# Ends every test service process the scenario started that still runs, by
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

# ---- Name service -------------------------------------------------------------
# Programs that wine_run starts resolve names from a hosts file of the
# scenario only, never through a name server: they run in a mount namespace of
# their own whose /etc/nsswitch.conf says "hosts: files" and whose /etc/hosts
# is CVN_HOSTS_FILE (loopback as "localhost"; a scenario may add lines).
# A bind mount needs a file to cover: a machine without /etc/hosts (a minimal
# root file system) gets an empty one, which resolves just as a missing one.
for file in /etc/hosts /etc/nsswitch.conf; do
  [[ -e $file ]] || : >"$file" 2>/dev/null || true
done
CVN_NAMES_DIR=$CVN_WINE_DIR/names
CVN_HOSTS_FILE=$CVN_NAMES_DIR/$CVN_SCENARIO.hosts
mkdir -p "$CVN_NAMES_DIR"
printf 'hosts: files\n' >"$CVN_NAMES_DIR/nsswitch.conf"
printf '127.0.0.1 localhost\n' >"$CVN_HOSTS_FILE"
# The command wine_run runs wine through (it ends with exec "$@").
WINE_LAUNCHER=(unshare -m sh -c 'mount --bind "$1" /etc/nsswitch.conf &&
  mount --bind "$2" /etc/hosts && shift 2 && exec "$@"' sh "$CVN_NAMES_DIR/nsswitch.conf" "$CVN_HOSTS_FILE")
# Every wine_run is offline now; the name stays for the scenarios that use it.
wine_run_offline() { wine_run "$@"; }

# ---- Binaries with version resources ---------------------------------------------
# version_dll FILE A B C D [TEXT]: FILE (a host path) becomes a DLL of nothing
# but a version resource: file version A.B.C.D, FileVersion TEXT (default
# "A.B.C.D"), OriginalFilename the file's name, translation 0x0409/1200.
# VERSION_TABLE (default 040904b0) and VERSION_TRANSLATION (default
# "0x409, 1200") name the string table and the translation otherwise;
# VERSION_FIXED_ONLY=1 leaves out both, keeping the fixed version alone.
version_dll() {
  local file=$1 version="$2,$3,$4,$5" text=${6:-$2.$3.$4.$5}
  local table=${VERSION_TABLE:-040904b0} translation=${VERSION_TRANSLATION:-0x409, 1200}
  local toolchain=${CVN_OBJDUMP%objdump} work=$CVN_OUTPUT_DIR/$CVN_SCENARIO.rc
  local base
  base=$work/$(basename "$file")
  mkdir -p "$work"
  {
    printf '1 VERSIONINFO\nFILEVERSION %s\nPRODUCTVERSION %s\nFILETYPE 2\nBEGIN\n' "$version" "$version"
    [ "${VERSION_FIXED_ONLY:-0}" = 1 ] || cat <<EOF
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "$table"
    BEGIN
      VALUE "FileVersion", "$text"
      VALUE "OriginalFilename", "$(basename "$file")"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", $translation
  END
EOF
    echo END
  } >"$base.rc"
  "${toolchain}windres" "$base.rc" -o "$base.o" && "${toolchain}ld" -shared --dll -e 0 -o "$file" "$base.o"
}

# ---- Service-pack comparison lines ---------------------------------------------
# The lines the report gives one system32 file of a service-pack table (CR LF
# line ends): sp_older|sp_newer NAME INSTALLED EXPECTED.
sp_older() {
  printf '       Older version of C:\\windows\\system32\\%s\r\n   Installed version is %s\r\n       Should be Service Pack version %s\r\n' "$@"
}
sp_newer() {
  printf '               Information only: Newer version of C:\\windows\\system32\\%s\r\n         Installed version is %s\r\n               Service Pack version is %s\r\n' "$@"
}
# sp_lines REPORT NAME_REGEX: the blocks of those files in the report's order.
sp_lines() {
  grep -A2 -E "version of C:\\\\windows\\\\system32\\\\($2)\\.DLL" "$1" | grep -v '^--' || true
}

# ---- Checks --------------------------------------------------------------------
# check DESCRIPTION COMMAND [ARGS...]: passes when COMMAND succeeds.
check() {
  local description=$1
  shift
  if "$@"; then
    CVN_PASSED=$((CVN_PASSED + 1))
  else
    CVN_FAILED=$((CVN_FAILED + 1))
    echo "FAILED: $description"
  fi
}

# check_eq DESCRIPTION EXPECTED ACTUAL
check_eq() {
  if [[ $2 == "$3" ]]; then
    CVN_PASSED=$((CVN_PASSED + 1))
  else
    CVN_FAILED=$((CVN_FAILED + 1))
    printf 'FAILED: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
  fi
}

# check_file DESCRIPTION EXPECTED FILE: FILE holds exactly EXPECTED (line ends
# and all).
check_file() {
  local text
  text=$(cat "$3" 2>/dev/null; printf x)
  check_eq "$1" "$2" "${text%x}"
}

# run_host HOST.exe [ARGS...]: runs a check host (tests/wine/check.h) from the
# build directory, shows its output and counts its checks. A host that dies
# before its summary line counts as one failure more.
run_host() {
  local host=$1
  shift
  wine_run "${host%.exe}" "$CVN_BUILD_DIR/$host" "$@"
  tr -d '\r' <"$WINE_OUT"
  local summary passed failed
  summary=$(tr -d '\r' <"$WINE_OUT" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1) || true
  if [[ -z $summary ]]; then
    CVN_FAILED=$((CVN_FAILED + 1))
    echo "FAILED: $host ended (exit code $WINE_RC) without a summary line; its stderr:"
    cat "$WINE_ERR"
    return 0
  fi
  read -r passed _ failed _ <<<"$summary"
  CVN_PASSED=$((CVN_PASSED + passed))
  CVN_FAILED=$((CVN_FAILED + failed))
  if [[ $WINE_RC != 0 && $failed == 0 ]]; then
    CVN_FAILED=$((CVN_FAILED + 1))
    echo "FAILED: $host exited with $WINE_RC after reporting no failure"
  fi
}

# Ends the scenario: its summary line (also kept for scripts/test.sh) and exit
# status. A scenario that checked nothing fails.
finish() {
  local summary="$CVN_PASSED passed, $CVN_FAILED failed"
  echo "$summary"
  echo "$summary" >"$CVN_RESULTS_DIR/$CVN_SCENARIO.summary"
  if [[ $CVN_FAILED == 0 && $CVN_PASSED -gt 0 ]]; then exit 0; fi
  exit 1
}
