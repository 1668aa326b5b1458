# The configuration sections of the real DLL on a machine whose registry the
# test prepares with REGEDIT4 files: product compatibility in each state, the
# configured paths, the registry dump of trees holding every value type, and
# the version listing of binaries built here with version resources.
source "$(dirname "$0")/../lib.sh"

wine_use_pristine
cd "$CVN_OUTPUT_DIR"

drive_c=$WINEPREFIX/drive_c
fixtures=$CVN_SCENARIO.data
rm -rf "$fixtures"
mkdir -p "$fixtures"

# msg ID: the catalog text of ID, its escapes resolved.
msg() {
  local text
  text=$(sed -n "s/^MSG($1, \"\\(.*\\)\")\$/\\1/p" "$CVN_SOURCE_DIR/resources/catalog.inc")
  text=${text//\\\\/$'\001'}
  text=${text//\\\"/\"}
  printf '%b' "$text" | tr '\001' '\\'
}

# Data just within and just beyond the dump's 260-byte buffer.
text259=$(printf 't%.0s' $(seq 259))  # 260 bytes with its NUL
text260=$(printf 'u%.0s' $(seq 260))
binary261=$(printf 'ab,%.0s' $(seq 260))ab
# Data beyond a report line of 1023 characters.
text2000=$(printf 'v%.0s' $(seq 2000))

# hexof TEXT...: the texts, each with its NUL, as REGEDIT4 hex bytes.
hexof() { printf '%s\0' "$@" | od -An -v -tx1 | tr -s ' \n' ',' | sed -e 's/^,//' -e 's/,$//'; }
# A binding of seven adapters, as later systems name them: 372 bytes.
bind_entries=()
for i in 1 2 3 4 5 6 7; do bind_entries+=("\\Device\\NetBT_{4D36E972-E325-11CE-BFC1-08002BE1031$i}"); done
bind7=$(hexof "${bind_entries[@]}" "")
journals_expand=$(hexof '%SystemDrive%\Corvane\Journals')
unprotected_expand=$(hexof '%SystemDrive%\Corvane\Unprotected')

# import NAME: imports the REGEDIT4 text on standard input (TEXT259, TEXT260,
# TEXT2000, BINARY261, BIND7 and the *_EXPAND paths stand for the data above).
import() {
  { printf 'REGEDIT4\r\n\r\n'
    sed -e "s/TEXT259/$text259/" -e "s/TEXT260/$text260/" -e "s/TEXT2000/$text2000/" \
      -e "s/BINARY261/$binary261/" -e "s/BIND7/$bind7/" -e "s/JOURNALS_EXPAND/$journals_expand/" \
      -e "s/UNPROTECTED_EXPAND/$unprotected_expand/" -e 's/$/\r/'
  } >"$fixtures/$1.reg"
  wine_run "import_$1" regedit /S "$fixtures/$1.reg"
  check_eq "$1 imported" 0 "$WINE_RC"
}

# msgf ID ARG...: the catalog text of ID as a format, with its arguments.
msgf() {
  local format
  format=$(msg "$1"; printf x)
  shift
  printf "${format%x}" "$@"
}

# report NAME [OPTIONS...]: the full report into NAME.txt.
report() {
  local name=$1
  shift
  rm -f "$name.txt"
  wine_run "$name" "$CVN_BUILD_DIR/cvncheck.exe" -out "$name.txt" "$@"
  check "cvncheck $name ends with a summary result" test "$WINE_RC" -le 2
}

# between FILE FIRST LAST...: the lines of FILE from the first one that
# begins with FIRST up to the one before the next that begins with one of
# the LASTs, CR LF turned into LF.
between() {
  local file=$1 first=$2
  shift 2
  tr -d '\r' <"$file" |
    awk -v first="$first" -v lasts="$(printf '%s\n' "$@")" '
      BEGIN { n = split(lasts, last, "\n") }
      index($0, first) == 1 && !on { on = 1; print; next }
      on { for (i = 1; i <= n; i++) if (last[i] != "" && index($0, last[i]) == 1) exit; print }'
}

# same DESCRIPTION EXPECTED ACTUAL: the two texts agree, trailing line ends included.
same() {
  check_eq "$1" "$(printf '%s' "$2"; printf x)" "$(printf '%s' "$3"; printf x)"
}
# text COMMAND...: the output of COMMAND with its trailing line ends kept.
text() {
  local out
  out=$("$@"; printf x)
  printf '%s' "${out%x}"
}

compatibility_heading='**** IMPORTANT PRODUCT COMPATIBILITY INFORMATION: ****'
registry_heading='SELECTED CONFIGURATION REGISTRY INFORMATION:'
paths_heading='CHECKING CONFIGURED Corvane PATHS:'
network_heading='EXAMING NETWORK CONNECTIVITY:'

# ---- No incompatible product, no product key -------------------------------------------
report plain
check "no compatibility section without an incompatible product" \
  bash -c "! grep -qF '$compatibility_heading' plain.txt"
check "no configured-paths section without the product key" bash -c "! grep -qF '$paths_heading' plain.txt"
check_eq "every line ends with CR LF" "$(wc -l <plain.txt)" "$(grep -c $'\r$' plain.txt)"

# ---- The product's settings, directories and binaries -------------------------------------
# Values and subkeys in sorted order: Wine lists values sorted, Windows in
# creation order, and both agree on these.
import product <<'REG'
[HKEY_LOCAL_MACHINE\SOFTWARE\Velmora Software\Corvane\1.5]
"InstallationDirectory"="C:\\Corvane\\"
"JournalRoot"=hex(2):JOURNALS_EXPAND
"ProtectedDatasetDirectory"="C:\\Corvane\\Protected"
"UnprotectedDatasetDirectory"=hex(2):UNPROTECTED_EXPAND

[HKEY_LOCAL_MACHINE\SOFTWARE\Velmora Software\Corvane\1.5\Empty]

[HKEY_LOCAL_MACHINE\SOFTWARE\Velmora Software\Types]
"a binary"=hex:01,02,03
"b big endian"=hex(5):00,00,00,01
"c dword zero"=dword:00000000
"d dword ten"=dword:0000000a
"e dword all bits"=dword:ffffffff
"f dword 4096"=dword:00001000
"g expand"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,43,6f,72,76,61,6e,65,00
"h multi"=hex(7):61,00,62,00,63,00,00
"i multi empty"=hex(7):00
"j none"=hex(0):
"k resource list"=hex(8):00,00,00,00
"l text"="plain text"
"m text of 259"="TEXT259"
"n text of 260"="TEXT260"
"o binary of 261"=hex:BINARY261
"p last"="after the long ones"
"q bind"=hex(7):BIND7
"r text of 2000"="TEXT2000"
"s next"="on a line of its own"

[HKEY_LOCAL_MACHINE\SOFTWARE\Velmora Software\Types\Sub]
"Inner"="listed before the key's own values"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\CVNSvc]
"DisplayName"="Corvane"
"Start"=dword:00000003

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management]
"LargeSystemCache"=dword:00000001
REG

mkdir -p "$drive_c/Corvane/Journals" "$drive_c/Corvane/Protected"  # Unprotected is missing

# The listing's files, each a DLL of nothing but its version resource.
# versioned PATH A B C D TEXT: the file at PATH under drive C:.
versioned() { version_dll "$drive_c/$1" "$2" "$3" "$4" "$5" "$6"; }
system32=windows/system32
check "cvnsvc.exe built" versioned Corvane/cvnsvc.exe 1 5 1 841 "V1.5.1 Build 841-0"
check "zradmin.exe built" versioned Corvane/zradmin.exe 65535 0 0 7 "65535.0.0.0007"
check "zrsnmp.dll built" versioned $system32/zrsnmp.dll 4 21 0 7 "4.21.0007"
check "vb40032 built" versioned $system32/vb40032 4 0 0 0 "4.0"
check "zr-jnl.sys built" versioned $system32/drivers/zr-jnl.sys 1 5 0 1 "1.5.0.1"
# Resources whose first translation names no FileVersion text: the text in
# a table of another code page, or none at all but the fixed version.
VERSION_TABLE=040904e4
check "ltbrok32.dll built, its table of another code page" versioned $system32/ltbrok32.dll 2 1 0 3 "2.10.0003"
unset VERSION_TABLE
VERSION_FIXED_ONLY=1
check "ezrpcw32.dll built without texts" versioned $system32/ezrpcw32.dll 3 0 65535 9 none
unset VERSION_FIXED_ONLY
printf 'not a program\r\n' >"$drive_c/Corvane/notes.dll"
printf 'not a driver\r\n' >"$drive_c/$system32/drivers/zr-rec.sys"

report product
# potential FILE: the number of potential problems its summary counts.
potential() { tr -d '\r' <"$1" | sed -n 's/^There were \([0-9]*\) potential problems detected\.$/\1/p'; }
base_warnings=$(potential product.txt)

# ---- Configured paths: three existing, one missing -------------------------------------------
paths_level0() {
  echo "$paths_heading"
  echo
  msg 52016; msg 52017; msg 52018
  msgf 54006 'C:\Corvane\Unprotected'
  msg 55020
  echo
}
paths_level2() { msgf 54006 'C:\Corvane\Unprotected'; msg 55020; echo; }
same "configured paths at level 0" "$(text paths_level0)" \
  "$(text between product.txt "$paths_heading" "$network_heading")"

report product_errors -errors
same "configured paths at level 2: the error alone" "$(text paths_level2)" \
  "$(text between product_errors.txt "Error: The configured UnProtected" "$network_heading" "There were")"
check "no heading at level 2" bash -c "! grep -qF '$paths_heading' product_errors.txt"
check "no registry dump at level 2" bash -c "! grep -qF '$registry_heading' product_errors.txt"
check "no version listing at level 2" bash -c "! grep -qF 'binary version information' product_errors.txt"

# ---- Registry dump: depth first, each key's values after its subkeys -------------------
# Keys without values (the tree's top, Corvane, 1.5\Empty) print nothing;
# values longer than 260 bytes (n, o, q) are listed like any other, one
# longer than a report line (r) cut there with its line break kept. Paths
# stored as REG_EXPAND_SZ are listed as stored and tested expanded.
line() { printf '               %s:     %s\n' "$1" "$2"; }
values() { printf '\n     Values for key: %s\n' "$1"; }
expected_dump() {
  echo "$registry_heading"
  echo
  values 'Software\Velmora Software\Corvane\1.5'
  line InstallationDirectory 'C:\Corvane\'
  line JournalRoot '%SystemDrive%\Corvane\Journals'
  line ProtectedDatasetDirectory 'C:\Corvane\Protected'
  line UnprotectedDatasetDirectory '%SystemDrive%\Corvane\Unprotected'
  values 'Software\Velmora Software\Types\Sub'
  line Inner "listed before the key's own values"
  values 'Software\Velmora Software\Types'
  line 'a binary' 'Unsupported Type: 3'
  line 'b big endian' 'Unsupported Type: 5'
  line 'c dword zero' '0x00 (0)'
  line 'd dword ten' '0x0a (10)'
  line 'e dword all bits' '0x0ffffffff (-1)'
  line 'f dword 4096' '0x01000 (4096)'
  line 'g expand' '%SystemRoot%\Corvane'
  line 'h multi' ' a b c'
  line 'i multi empty' ' '
  line 'j none' 'Unsupported Type: 0'
  line 'k resource list' 'Unsupported Type: 8'
  line 'l text' 'plain text'
  line 'm text of 259' "$text259"
  line 'n text of 260' "$text260"
  line 'o binary of 261' 'Unsupported Type: 3'
  line 'p last' 'after the long ones'
  line 'q bind' " ${bind_entries[*]}"
  line 'r text of 2000' "${text2000:0:987}"  # 1022 characters and the break
  line 's next' 'on a line of its own'
  values 'SYSTEM\CurrentControlSet\Services\CVNSvc'
  line DisplayName Corvane
  line Start '0x03 (3)'
  echo
}
same "our trees in the registry dump" "$(text expected_dump)" \
  "$(text between product.txt "$registry_heading" '     Values for key: Software\Microsoft' \
     '     Values for key: SYSTEM\CurrentControlSet\Services\Tcpip' "$paths_heading")"
check "the memory key lists LargeSystemCache" \
  grep -qx "$(line LargeSystemCache "0x01 (1)")" <(between product.txt \
    "     Values for key: SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management" \
    "The configuration registry key:")
note() { msg 52013 | tail -n +2; echo; }
same "the LargeSystemCache note closes the dump" "$(text note)" \
  "$(text between product.txt "The configuration registry key:" "$paths_heading")"

# ---- Version listing: the product's directory, then system32 and its drivers -----------
same "the installation directory's binaries, in the order Wine lists them" \
  "$(printf '%s\n' 'Corvane binary version information' '' '     Files in C:\Corvane\' \
       $'\tcvnsvc.exe:\tV1.5.1 Build 841-0\t1,5,1,841' $'\tzradmin.exe:\t65535.0.0.0007\t65535,0,0,7' \
       '       notes.dll:     Version Information not available.' '')" \
  "$(text between product.txt "Corvane binary version information" '     Files in C:\windows\system32\')"
between product.txt '     Files in C:\windows\system32\' '     Files in C:\windows\system32\drivers\' >system32.lf
check_eq "system32's first file of the table comes first" \
  $'\tzrsnmp.dll:\t4.21.0007\t4,21,0,7' "$(sed -n 2p system32.lf)"
check "a name without extension finds that file" grep -qx $'\tvb40032:\t4.0\t4,0,0,0' system32.lf
check "a table of another code page gives its FileVersion" \
  grep -qx $'\tltbrok32.dll:\t2.10.0003\t2,1,0,3' system32.lf
check "a resource without texts is listed with its fixed version" \
  grep -qx $'\tezrpcw32.dll:\t3,0,65535,9\t3,0,65535,9' system32.lf
check "Wine's own msvcrt.dll has its version line" \
  grep -Eq $'^\tmsvcrt\\.dll:\t[^\t]+\t[0-9]+,[0-9]+,[0-9]+,[0-9]+$' system32.lf
same "the drivers, in table order" \
  "$(printf '%s\n' '     Files in C:\windows\system32\drivers\' \
       '       zr-rec.sys:     Version Information not available.' $'\tzr-jnl.sys:\t1.5.0.1\t1,5,0,1' '')" \
  "$(text between product.txt '     Files in C:\windows\system32\drivers\' "There were")"

# ---- Product compatibility in each state ------------------------------------------------
services='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services'
# compatibility FILE: the section as printed, up to what follows it.
compatibility() {
  text between "$1" "$compatibility_heading" "$registry_heading" "Error: The configured" \
    "$network_heading" "There were"
}
# expected IDS...: the section with the messages of IDS.
expected() {
  printf '%s\n\n' "$compatibility_heading"
  local id
  for id in "$@"; do msg "$id"; done
  echo
}

import disabled <<REG
[$services\OFADriver]
"Start"=dword:00000004
[$services\VncDisk]
"Start"=dword:00000004
[$services\OFMDriver]
"Start"=dword:00000004
[$services\zr-jnl]
"Start"=dword:00000004
REG
report disabled
same "four disabled products: four warnings in table order" \
  "$(text expected 53024 55025 53025 55026 53026 55027 53027 55028)" "$(compatibility disabled.txt)"
check_eq "each disabled product counts one potential problem" $((base_warnings + 4)) "$(potential disabled.txt)"
report disabled_warnings -warnings
check "at level 1 warnings alone do not show the section" \
  bash -c "! grep -qF '$compatibility_heading' disabled_warnings.txt"
check "no registry dump at level 1" bash -c "! grep -qF '$registry_heading' disabled_warnings.txt"
check "no version listing at level 1" bash -c "! grep -qF 'binary version information' disabled_warnings.txt"

import enabled <<REG
[$services\OFADriver]
"Start"=dword:00000000
[$services\VncDisk]
"Start"=dword:00000001
[$services\OFMDriver]
"Start"=dword:00000002
[$services\zr-jnl]
"Start"=dword:00000003
REG
report enabled -warnings
same "four enabled products, manual start included, at level 1" \
  "$(text expected 54014 55021 54015 55022 54016 55023 54017 55024)" "$(compatibility enabled.txt)"
check_eq "serious problems make the result 2" 2 "$WINE_RC"
check "three enabled products and the missing directory are serious problems" \
  grep -q 'There were 4 serious problems detected' enabled.txt
check_eq "the second product enabled is a potential problem" $((base_warnings + 1)) "$(potential enabled.txt)"
report enabled_errors -errors
check "at level 2 errors do not show the section" bash -c "! grep -qF '$compatibility_heading' enabled_errors.txt"

import other_case <<REG
[-$services\OFADriver]
[-$services\VncDisk]
[-$services\OFMDriver]
[-$services\zr-jnl]
[$services\vncdisk]
"Start"=dword:00000002
[$services\OFMDRIVER]
"Start"=dword:00000002
REG
report other_case -warnings
same "service keys in another letter case are detected, as the registry names keys" \
  "$(text expected 54015 55022 54016 55023)" "$(compatibility other_case.txt)"

# ---- Event log: Wine's holds no records (the dump is proven on the simulation) ----------
report events -errors -eventlogs
event_heading='Corvane EVENTLOG ENTRIES:'
check "-eventlogs prints the event-log heading at level 2" grep -qx "$event_heading"$'\r' events.txt
check_eq "Wine's empty log gives no event line" "" \
  "$(between events.txt "$event_heading" 'There were' | grep $'^\t' || true)"

finish
