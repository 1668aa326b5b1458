# Windows NT 3.51 Service Pack 5 as Wine poses it: the version line and the
# system files older and newer than Service Pack 5 ships them (DLLs with
# version resources made here with windres), in table order, at report level 0
# (zrHealthLog) and level 1 (ValidateEnvironment).
source "$(dirname "$0")/../lib.sh"

wine_use_pristine
cd "$CVN_OUTPUT_DIR"

# ---- The machine: NT 3.51 build 1057, Service Pack 5, a workstation ---------------
wine_run winecfg winecfg /v nt351
check_eq "the machine is set up as NT 3.51" 0 "$WINE_RC"

# ---- Table files in system32 (names Wine itself does not ship) --------------------
system32=$WINEPREFIX/drive_c/windows/system32

# versioned_dll NAME A B C D: system32\NAME with file version A.B.C.D.
versioned_dll() { version_dll "$system32/$1" "$2" "$3" "$4" "$5"; }

check "CANON800.DLL one revision older than 3,51,1057,6" versioned_dll CANON800.DLL 3 51 1057 5
check "DICONIX.DLL just as 3,51,1057,6" versioned_dll DICONIX.DLL 3 51 1057 6
check "FTSRCH.DLL 4.0.0.4551, newer than 4,0,0,4550" versioned_dll FTSRCH.DLL 4 0 0 4551
check "PCL1200.DLL 3.50.1057.9, older than 3,51,1057,4" versioned_dll PCL1200.DLL 3 50 1057 9

# Our own files' blocks in a report, in its order.
our_files() { sp_lines "$1" 'CANON800|DICONIX|FTSRCH|PCL1200'; }

# ---- The full report, level 0 -----------------------------------------------------
rm -f health.txt
wine_run health "$CVN_BUILD_DIR/call_export.exe" zrHealthLog health.txt CVNUNIST.dll
check_eq "zrHealthLog returns 0" 0 "$WINE_RC"
check "the version line names a workstation, 3.51, build 1057 and the CSD text" \
  grep -qx $'       Windows NT Workstation version 3.51 (1057) - CSD version Service Pack 5\r' health.txt
check "the service-pack files are verified" \
  grep -qx $'   Verifying Service Pack versions are properly installed...\r' health.txt
check_eq "newer and older files in table order, equal ones left out" \
  "$(sp_older CANON800.DLL 3,51,1057,5 3,51,1057,6; sp_newer FTSRCH.DLL 4,0,0,4551 4,0,0,4550
     sp_older PCL1200.DLL 3,50,1057,9 3,51,1057,4)" \
  "$(our_files health.txt)"
check "no service-pack error on 3.51 SP5" bash -c '! grep -q "Pack 5 (or greater)" health.txt'

# ---- The validation, level 1: only the older files ----------------------------------
rm -f validate.txt
wine_run validate "$CVN_BUILD_DIR/call_export.exe" ValidateEnvironment 0 1 validate.txt - CVNUNIST.dll
check "ValidateEnvironment finds at least a warning" test "$WINE_RC" -ge 1 -a "$WINE_RC" -le 2
check_eq "the older files come under the warning heading naming the service pack" \
  $'Windows NT 3.51 Service Pack 5\r' "$(grep -A1 '^files are older than the versions contained in' validate.txt | tail -n 1)"
check_eq "only the older files" \
  "$(sp_older CANON800.DLL 3,51,1057,5 3,51,1057,6; sp_older PCL1200.DLL 3,50,1057,9 3,51,1057,4)" \
  "$(our_files validate.txt)"
check "no newer file at all" bash -c '! grep -q "Information only" validate.txt'

finish
