#!/usr/bin/env bash
# The environment report of a Windows machine under Wine: builds the Windows
# binaries and runs cvncheck.exe in the project's own Wine prefix
# (build/win32/report-prefix), printing the report. Options go to cvncheck:
#   scripts/report.sh [-warnings | -errors] [-eventlogs] [-out filename] [-?]
# ("-out report.txt" writes report.txt in the current directory). The exit
# code is cvncheck's: 0 no problem, 1 warnings, 2 errors.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages "${CVN_WIN32_PACKAGES[@]}" "${CVN_WINE_PACKAGES[@]}"
cvn_build win32

build=$CVN_ROOT/build/win32
cvn_note "Built ${build#"$CVN_ROOT"/}/CVNUNIST.dll ($(stat -c %s "$build/CVNUNIST.dll") bytes)" \
         "and cvncheck.exe ($(stat -c %s "$build/cvncheck.exe") bytes), version" \
         "$(sed -n 's/^#define CVN_VERSION_TEXT "\(.*\)"$/\1/p' "$CVN_ROOT/resources/version.h")"

export WINEPREFIX=$build/report-prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  cvn_note "Creating the Wine prefix ${WINEPREFIX#"$CVN_ROOT"/}"
  rm -rf "$WINEPREFIX"
  cvn_quiet report-prefix wine wineboot -i
  wineserver -k </dev/null >/dev/null 2>&1 || true
fi

# Wine's helper processes keep the caller's descriptors: output goes to files.
mkdir -p "$CVN_LOGS"
out=$CVN_LOGS/report.out
err=$CVN_LOGS/report.err
# Names come from the hosts file only: the report's look-ups never ask a name
# server (a private namespace whose nsswitch.conf says "hosts: files").
launcher=()
names=$CVN_ROOT/build/win32/report-nsswitch.conf
printf 'hosts: files\n' >"$names"
if unshare -m true 2>/dev/null; then
  launcher=(unshare -m sh -c 'mount --bind "$1" /etc/nsswitch.conf && shift && exec "$@"' sh "$names")
else
  cvn_note "No mount namespace here: name look-ups follow this machine's own settings"
fi
cvn_note "Running cvncheck.exe $* under $(wine --version)"
status=0
"${launcher[@]}" wine "$build/cvncheck.exe" "$@" </dev/null >"$out" 2>"$err" || status=$?
tr -d '\r' <"$out"
case $status in
  0 | 1 | 2)
    if [[ ! -s $out ]]; then
      cvn_note "cvncheck.exe wrote its report to the file named by -out (exit code $status)"
    fi
    ;;
  *)
    # Not a report result: show what Wine said (its notes are kept otherwise).
    cvn_note "cvncheck.exe ended with exit code $status"
    cat "$err" >&2
    ;;
esac
exit "$status"
