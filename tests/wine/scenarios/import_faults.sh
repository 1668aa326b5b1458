# The real DLL survives the failure of each call it makes: import_faults.exe
# takes over the DLL's import address table, counts each import's calls in a
# clean run of an entry point, then fails each import at its first, second and
# last use and at evenly spread uses between (SPREAD of them), one case at a
# time, and checks the invariants after every case (no crash, a documented
# result, a text report, nothing left open, nothing touched outside the
# product). The uninstall cases install the product afresh each time, with
# CVNSvc running; names come from the scenario's hosts file only.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine
at_exit stop_test_services
# How many evenly spread uses between the second and the last are failed, and
# which entry points are swept (all by default).
spread=${CVN_SWEEP_SPREAD:-2}
scenarios=${CVN_SWEEP_SCENARIOS:-health validate0 validate1 validate2 uninstall_silent uninstall_attended
  uninstall_declined port ensure}

# This host's own address resolves back to its name (the validation pings it).
wine_run own "$CVN_BUILD_DIR/wine_network.exe" probe
own=$(tr -d '\r' <"$WINE_OUT" | sed -n 's/^this host: \(.*\) at \([0-9.]*\)$/\2 \1/p')
[[ -n $own ]] && printf '%s\n' "$own" >>"$CVN_HOSTS_FILE"

# Everything on C: but the product's own places and the sweep's work files
# (files with their sizes).
outside_product() {
  (cd "$WINEPREFIX/drive_c" && find . \( -path './Program Files/Corvane' -o -path ./CVN/Databases \
    -o -path ./CVN/Journals -o -path ./sweep -o -path ./windows/temp -o -name 'cvn-*.sys' \
    -o -name cvnmapi.log -o -name 'cvn-*.sys.cvn-deleted' -o -name cvnmapi.log.cvn-deleted \
    -o -name 'cvnunins.mi?' -o -name cvn_test_service.pid \) -prune -o \
    -type f -printf '%p %s\n' -o -printf '%p\n' | sort)
}

# The registry but the product's keys, its SharedDLLs count and its services.
registry_outside_product() {
  local key export=$WINEPREFIX/drive_c/sweep/export.reg
  for key in 'HKLM\SOFTWARE' 'HKCU\SOFTWARE' 'HKLM\SYSTEM\CurrentControlSet\Services'; do
    rm -f "$export"
    wine_run export reg export "$key" 'C:\sweep\export.reg' /y
    iconv -f UTF-16 -t UTF-8 "$export" | tr -d '\r' | awk '
      /^\[/ { skip = $0 ~ /\\Velmora Software\\Corvane[]\\]|\\Velmora Software Uninstall[]\\]|\\App Paths\\cvnsvc\.exe[]\\]/ ||
                      $0 ~ /\\Services\\(CVNSvc|NobleNet Portmapper for TCP|cvn-jnl|cvn-fltr|cvn-rec)[]\\]/ }
      !skip && !/Corvane\\\\cvnax\.ocx/ { print }'
  done
}

# check_unchanged DESCRIPTION BEFORE AFTER: passes when equal, else shows the
# first lines that differ.
check_unchanged() {
  if [[ $2 == "$3" ]]; then
    check "$1" true
  else
    check "$1" false
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | head -n 20
  fi
}

mkdir -p "$WINEPREFIX/drive_c/sweep"
wine_run place "$CVN_BUILD_DIR/import_faults.exe" place
files=$(outside_product)
keys=$(registry_outside_product)
for scenario in $scenarios; do
  started=$SECONDS
  run_host import_faults.exe sweep "$scenario" 'C:\sweep' "$spread"
  echo "$scenario: $((SECONDS - started)) s"
  after=$(outside_product)
  check_unchanged "$scenario: nothing changed on C: outside the product" "$files" "$after"
  files=$after
  after=$(registry_outside_product)
  check_unchanged "$scenario: nothing changed in the registry outside the product" "$keys" "$after"
  keys=$after
done
finish
