# The report of this very machine against independent sources: the Windows
# version against `wine cmd /c ver` with Wine posing as Windows 10 (which
# tells a program without a manifest that it runs on Windows 8) and as a
# domain controller, the processor against the host's CPU family and count, the total
# memory against `free -b`, drive C: against statvfs of the prefix's drive_c,
# and a tmpfs of 17 TiB (never filled, so it costs no memory) mapped to E:
# through the prefix's dosdevices, far beyond what 32-bit figures hold.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine
cd "$CVN_OUTPUT_DIR"

# ---- A 17 TiB drive E: (skipped where this machine cannot mount a tmpfs); Wine's
# mount manager reads the drives when the machine starts ----------------------------
big=$CVN_OUTPUT_DIR/system_truth.big
mkdir -p "$big"
mounted=0
if mount -t tmpfs -o size=17T system_truth "$big" 2>/dev/null; then
  mounted=1
  at_exit "umount '$big'"
  ln -sfn "$big" "$WINEPREFIX/dosdevices/e:"
  wine_run drive_type reg add 'HKLM\Software\Wine\Drives' /v e: /d hd /f
  wine_reboot
else
  echo "note: no tmpfs could be mounted here; the 17 TiB drive is not checked"
fi

wine_run winecfg winecfg /v win10
check_eq "the machine poses as Windows 10" 0 "$WINE_RC"
# A domain controller.
wine_run product_type reg add 'HKLM\SYSTEM\CurrentControlSet\Control\ProductOptions' /v ProductType /d LanmanNT /f
check_eq "the machine is a domain controller" 0 "$WINE_RC"

rm -f health.txt
wine_run health "$CVN_BUILD_DIR/call_export.exe" zrHealthLog health.txt CVNUNIST.dll
check "zrHealthLog wrote its report" test -s health.txt
report=$(tr -d '\r' <health.txt)

# ---- The Windows version -------------------------------------------------------------
wine_run ver cmd /c ver
# "Microsoft Windows 10.0.19045" (Wine may add more after the numbers).
read -r major minor build < <(tr -d '\r' <"$WINE_OUT" | grep -oE '[0-9]+\.[0-9]+\.[0-9]+' | head -n 1 | tr . ' ') || true
check "ver names a version" test -n "$build"
check "the version line names the domain controller a server and the version ver names, not Windows 8's 6.2" \
  grep -qE "^       Windows NT Server version $major\\.$minor \\($build\\)" <<<"$report"

# ---- The processor: Wine gives the host's CPU family as the level ---------------------------
family=$(awk -F': *' '$1 ~ /^cpu family/ { print $2; exit }' /proc/cpuinfo)
if (( ${family:-0} > 6 )); then
  check "CPU family $family is a later generation, not an unknown processor" \
    grep -qx '               Type of processor(s): Pentium Pro' <<<"$report"
fi

# Every processor of the host, as the active processor count of all groups gives it.
check "the processor count is the host's $(getconf _NPROCESSORS_ONLN)" \
  grep -qx "               Number of processor(s): $(getconf _NPROCESSORS_ONLN)" <<<"$report"

# ---- Memory: the report divides by 1,048,567 ---------------------------------------------
total_bytes=$(free -b | awk '$1 == "Mem:" { print $2 }')
expected_mb=$((total_bytes / 1048567))
shown_mb=$(sed -n 's/^       Total physical Memory \([0-9]*\) Mb$/\1/p' <<<"$report")
check "total memory $shown_mb Mb is free's $expected_mb Mb within 4" \
  test -n "$shown_mb" -a "$(( shown_mb > expected_mb ? shown_mb - expected_mb : expected_mb - shown_mb ))" -le 4
if (( total_bytes > 4294967296 )); then
  check "memory beyond 4 Gb is not cut to 2048 or 4096 Mb" test "$shown_mb" -gt 4096
fi

# ---- Drives: the report's Mb are 1,048,576 bytes -----------------------------------------
# drive_line LETTER: "TOTAL FREE" of the drive's line.
drive_line() { sed -n "s/^       $1:\\\\      \\([0-9]*\\)      \\([0-9]*\\)      \\\$.*/\\1 \\2/p" <<<"$report"; }
read -r c_total c_free < <(drive_line C) || true
c_expected=$(python3 -c "import os; s = os.statvfs('$WINEPREFIX/drive_c'); print(s.f_blocks * s.f_frsize // 1048576)")
check "C: total $c_total Mb is statvfs's $c_expected Mb within 1" \
  test -n "$c_total" -a "$(( c_total > c_expected ? c_total - c_expected : c_expected - c_total ))" -le 1
if (( mounted )); then
  read -r e_total e_free < <(drive_line E) || true
  # 17 TiB: 17 << 20 Mb, nearly all of it free.
  check_eq "E: shows its 17 TiB" 17825792 "$e_total"
  check "E: shows its free space beyond 16 TiB" test "${e_free:-0}" -gt 16777216
fi
check "no false shortage of free space" bash -c '! grep -q "requires 50 Mb free disk space" <<<"$1"' _ "$report"

finish
