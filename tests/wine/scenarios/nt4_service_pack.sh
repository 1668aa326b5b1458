# Windows NT 4.0 Service Pack 3 as Wine poses it: the version line, the
# system files older and newer than the service pack ships them (DLLs with
# version resources made here with windres), in table order, at report
# level 0 (zrHealthLog) and level 1 (ValidateEnvironment); and the processor,
# memory and drive lines of what Wine reports.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine
cd "$CVN_OUTPUT_DIR"

# ---- The machine: NT 4.0 build 1381, Service Pack 3, a server ---------------------
wine_run winecfg winecfg /v nt40
wine_run csd reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CSDVersion /d "Service Pack 3" /f
wine_run csd_number reg add 'HKLM\System\CurrentControlSet\Control\Windows' /v CSDVersion /t REG_DWORD /d 0x300 /f
wine_run product_type reg add 'HKLM\SYSTEM\CurrentControlSet\Control\ProductOptions' /v ProductType /d ServerNT /f
check_eq "the machine is set up as NT 4.0 SP3 server" 0 "$WINE_RC"

# ---- Table files in system32, each a DLL of nothing but its version resource ----------
# Names Wine itself does not ship (its own files there keep Wine's resources).
system32=$WINEPREFIX/drive_c/windows/system32

# versioned_dll NAME A B C D: system32\NAME with file version A.B.C.D.
versioned_dll() { version_dll "$system32/$1" "$2" "$3" "$4" "$5"; }

check "ATI.DLL one revision older than 4,0,1381,4" versioned_dll ATI.DLL 4 0 1381 3
check "BULL18.DLL one revision newer than 4,0,1381,4" versioned_dll BULL18.DLL 4 0 1381 5
check "EPSON24.DLL just as 4,0,1381,4" versioned_dll EPSON24.DLL 4 0 1381 4
check "DIGSIG.DLL 4.73.1381.39, older than 4,73,1381,40" versioned_dll DIGSIG.DLL 4 73 1381 39
check "_SNDBLST.DLL 5.0.0.0, newer than 4,0,1381,4" versioned_dll _SNDBLST.DLL 5 0 0 0
# Without any FileVersion text: judged by its fixed version all the same.
VERSION_FIXED_ONLY=1
check "BULL24.DLL 4.0.1381.1 without text, older than 4,0,1381,2" versioned_dll BULL24.DLL 4 0 1381 1
unset VERSION_FIXED_ONLY

# Our own files' blocks in a report, in its order.
our_files() { sp_lines "$1" 'ATI|BULL18|BULL24|DIGSIG|EPSON24|_SNDBLST'; }

# ---- The full report, level 0 -----------------------------------------------------------
rm -f health.txt
wine_run health "$CVN_BUILD_DIR/call_export.exe" zrHealthLog health.txt CVNUNIST.dll
check_eq "zrHealthLog returns 0" 0 "$WINE_RC"
check "the version line names a server, 4.0, build 1381 and the CSD text" \
  grep -qx $'       Windows NT Server version 4.0 (1381) - CSD version Service Pack 3\r' health.txt
check "the service-pack files are verified" \
  grep -qx $'   Verifying Service Pack versions are properly installed...\r' health.txt
check_eq "newer and older files in table order, equal ones left out" \
  "$(sp_older ATI.DLL 4,0,1381,3 4,0,1381,4; sp_newer BULL18.DLL 4,0,1381,5 4,0,1381,4
     sp_older BULL24.DLL 4,0,1381,1 4,0,1381,2; sp_older DIGSIG.DLL 4,73,1381,39 4,73,1381,40; sp_newer _SNDBLST.DLL 5,0,0,0 4,0,1381,4)" \
  "$(our_files health.txt)"
check "the recommendation follows the last file of the table" \
  grep -qx $'Recommendation: You should consider reapplying the Service Pack.\r' \
  <(sed -n '/_SNDBLST\.DLL/,$p' health.txt)
check "the processor line of Wine's machine" \
  grep -q $'^       System - Intel (or compatible) processor(s)\r$' health.txt
check "the processor generation, or the unknown level Wine gives" \
  grep -Eq $'^               Type of processor\\(s\\): (80486|Pentium|Pentium Pro|Unknown\\.)\r$' health.txt
check "the Windows directory" grep -qx $'       Windows Directory path: C:\\\\windows\r' health.txt
check "the memory figures" grep -Eq $'^       Total physical Memory [0-9]+ Mb\r$' health.txt
check "the drive table lists C: as NTFS" \
  grep -Eq $'^       C:\\\\      [0-9]+      [0-9]+      \\$NTFS\r$' health.txt
check "an NTFS drive spares the note" bash -c '! grep -q "does not have an NTFS partition" health.txt'

# ---- The validation, level 1: only the older files -----------------------------------------
rm -f validate.txt
wine_run validate "$CVN_BUILD_DIR/call_export.exe" ValidateEnvironment 0 1 validate.txt - CVNUNIST.dll
check "ValidateEnvironment finds at least a warning" test "$WINE_RC" -ge 1 -a "$WINE_RC" -le 2
check_eq "the older files come under the warning heading naming the service pack" \
  $'Windows NT 4.0 Service Pack 3\r' "$(grep -A1 '^files are older than the versions contained in' validate.txt | tail -n 1)"
check "no version line at level 1" bash -c '! grep -q "Windows NT Server version" validate.txt'
check_eq "only the older files" \
  "$(sp_older ATI.DLL 4,0,1381,3 4,0,1381,4; sp_older BULL24.DLL 4,0,1381,1 4,0,1381,2
     sp_older DIGSIG.DLL 4,73,1381,39 4,73,1381,40)" \
  "$(our_files validate.txt)"
check "no newer file at all" bash -c '! grep -q "Information only" validate.txt'

finish
