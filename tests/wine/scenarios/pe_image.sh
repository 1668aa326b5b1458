# no-wine
# The PE images as the loader of Windows NT 3.51 and 4.0 sees them: 32-bit
# Intel, the system versions in the header, the six published exports and no
# other, imports only from libraries those systems have (never WinSock or
# the ICMP library, which the product loads by full path when it needs them,
# so that a copy in the caller's directory is never loaded) and only calls
# they have (those of later versions are looked up at run time), and at most 76 KiB.
source "$(dirname "$0")/../lib.sh"

objdump=${CVN_OBJDUMP:-i686-w64-mingw32-objdump}
allowed="advapi32.dll kernel32.dll msvcrt.dll user32.dll version.dll"

# check_image FILE: format, header fields and imports of one binary.
check_image() {
  local file=$1 headers
  headers=$("$objdump" -p "$CVN_BUILD_DIR/$file")
  field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"; }
  check_eq "$file: file format" "pei-i386" "$(awk '/file format/ { print $NF; exit }' <<<"$headers")"
  check_eq "$file: optional header magic" "010b" "$(field Magic)"
  check_eq "$file: MajorOSystemVersion" 3 "$(field MajorOSystemVersion)"
  check_eq "$file: MinorOSystemVersion" 51 "$(field MinorOSystemVersion)"
  check_eq "$file: MajorSubsystemVersion" 3 "$(field MajorSubsystemVersion)"
  check_eq "$file: MinorSubsystemVersion" 51 "$(field MinorSubsystemVersion)"
  # msvcrt's printf family, not MinGW's replacement (see platform/win32/platform.h),
  # which would be linked in and leave msvcrt's printf and wprintf unimported
  # (the binaries are stripped: no symbol names to look for).
  local msvcrt_imports
  msvcrt_imports=$(sed -n '/^\tDLL Name: msvcrt.dll/,/^$/p' <<<"$headers" | awk 'NF == 3 { print $3 }')
  check "$file prints with msvcrt's printf" grep -qx printf <<<"$msvcrt_imports"
  check "$file prints with msvcrt's wprintf" grep -qx wprintf <<<"$msvcrt_imports"
  # Standard output is msvcrt's own stream table, not MinGW's shim around it,
  # whose data and unwind sections cost a kilobyte of file.
  check "$file reaches stdout through msvcrt's _iob" grep -qx _iob <<<"$msvcrt_imports"
  check "$file has no unwind frame section" bash -c '! grep -q "\.eh_fram" <<<"$1"' _ "$("$objdump" -h "$CVN_BUILD_DIR/$file")"
  # Calls of later Windows versions are looked up at run time, never imported:
  # an import Windows NT 3.51 lacks keeps the binary from loading there.
  local kernel32_imports call
  kernel32_imports=$(sed -n '/^\tDLL Name: [Kk][Ee][Rr][Nn][Ee][Ll]32.dll/,/^$/p' <<<"$headers" | awk 'NF == 3 { print $3 }')
  for call in GetDiskFreeSpaceExA GlobalMemoryStatusEx GetNativeSystemInfo GetActiveProcessorCount \
              GetVolumeNameForVolumeMountPointW; do
    check "$file does not import $call" test -z "$(grep -x -- "$call" <<<"$kernel32_imports")"
  done
  local dll
  for dll in $(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z'); do
    check "$file imports $dll, which Windows NT 4.0 does not have or we do not allow" \
      grep -qw -- "$dll" <<<"$allowed"
  done
}

check_image CVNUNIST.dll
check_image cvncheck.exe

# Calls of Windows 2000 and later are looked up at run time, never imported:
# Windows NT 3.51 and 4.0 would refuse to load the DLL.
not_imported() { ! "$objdump" -p "$CVN_BUILD_DIR/$1" | grep -qw -- "$2"; }
check "CVNUNIST.dll imports SetSecurityDescriptorControl" not_imported CVNUNIST.dll SetSecurityDescriptorControl
# Registry trees are deleted by the names the registry keeps: the wide calls,
# which every Windows NT has.
dll_imports=$("$objdump" -p "$CVN_BUILD_DIR/CVNUNIST.dll")
for call in RegOpenKeyExW RegEnumKeyExW RegQueryInfoKeyW RegQueryValueExW RegDeleteKeyW MultiByteToWideChar; do
  check "CVNUNIST.dll imports $call" grep -qw -- "$call" <<<"$dll_imports"
done
# The IP helper (Windows 2000 and later) is looked up at run time by its
# full path, never imported.
for file in CVNUNIST.dll cvncheck.exe; do
  check "$file names the IP helper it loads at run time" grep -qa 'iphlpapi\.dll' "$CVN_BUILD_DIR/$file"
  check "$file names GetIpErrorString" grep -qa GetIpErrorString "$CVN_BUILD_DIR/$file"
done

# Each product binary fits in 76 KiB.
for file in CVNUNIST.dll cvncheck.exe; do
  size=$(stat -c %s "$CVN_BUILD_DIR/$file")
  check "$file is $size bytes, more than 77824" test "$size" -le 77824
done

check_eq "cvncheck.exe is a console program" "(Windows CUI)" \
  "$("$objdump" -p "$CVN_BUILD_DIR/cvncheck.exe" | awk '$1 == "Subsystem" { print $3, $4 }')"

headers=$("$objdump" -p "$CVN_BUILD_DIR/CVNUNIST.dll")
check_eq "CVNUNIST.dll is a DLL" "DLL" \
  "$(grep -ow 'DLL' <<<"$(sed -n '/^Characteristics/,/^$/p' <<<"$headers")" | head -n 1)"
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' <<<"$headers" | sort)
check_eq "CVNUNIST.dll exports exactly the six published names" \
  "$(printf '%s\n' UninstInitialize UninstUnInitialize ValidateEnvironment \
       inEnsureServiceNotRunning zrHealthLog zrPortExists | sort)" "$exports"
check_eq "CVNUNIST.dll export address table holds six entries" 6 \
  "$(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$headers" | grep -c 'Export RVA')"
finish
