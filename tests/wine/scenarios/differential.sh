# The whole report of the simulation against the real DLL under Wine. Each
# machine of tests/differential/machines is described once; the native build's
# cvn_sim_report lays it out on the simulation and runs zrHealthLog there,
# this script lays it out on a fresh Wine machine and runs zrHealthLog there.
# The two report files must agree byte for byte, except the lines that
# describe the machine itself (see mask_machine); a difference is shown as a
# unified diff.
source "$(dirname "$0")/../lib.sh"

machines_dir=$CVN_SOURCE_DIR/tests/differential/machines
sim_report=$CVN_SOURCE_DIR/build/native/cvn_sim_report
if [[ ! -x $sim_report ]]; then
  echo "FAILED: $sim_report is missing: build the native preset first" \
    "(cmake --preset native && cmake --build --preset native)"
  CVN_FAILED=1
  finish
fi
cd "$CVN_OUTPUT_DIR"
work=$CVN_SCENARIO.data
rm -rf "$work"
mkdir -p "$work"

# The simulated processor is the host's generation, which Wine reports as the
# processor level: both machines judge the same processor.
processor_level=$(awk -F: '/^cpu family/ { print $2 + 0; exit }' /proc/cpuinfo)

# This host's own addresses resolve back to its name, as on a machine whose
# name servers know it (the simulation's scripted network does).
for address in $(hostname -I 2>/dev/null); do
  if [[ $address == *.*.*.* ]]; then printf '%s %s\n' "$address" "$(hostname)" >>"$CVN_HOSTS_FILE"; fi
done

# Wine's own files among the names the version listing looks for in system32;
# the machines describe none of them.
wine_system_files='msvcrt\.dll|msvcirt\.dll|msvcrt40\.dll|msvcrt20\.dll|olepro32\.dll'

# mask_machine FILE: the report with the facts of the machine itself made
# equal, their form kept; everything else stays byte for byte:
#   - the date and time of the header line: each number becomes 9, each
#     word A (the long date and the time keep their form);
#   - the number of processors and the four memory figures (Wine reports the
#     host's, capped at 2 GB);
#   - the sizes in the rows of the drive table (Wine's C: and Z: are on the
#     host's disk; the simulated machine has the same two drives);
#   - this host's address and names in the self ping, the "from" name of
#     every ping, and the reply times (real echoes under Wine);
#   - the values of the computer name, host name, FQDN and network name;
#   - the version lines of Wine's own system32 files ($wine_system_files);
#   - the line of a string value whose name begins "unterminated", stored
#     without its NUL in exactly the dump's 260 bytes: Wine's RegEnumValueA
#     wants room for a NUL it would add (ERROR_MORE_DATA, no line), Windows
#     returns the stored bytes as they are (RegQueryValueEx documents that a
#     string may come back without its NUL), and so does the simulation;
# and the registry dump's keys put in Windows' order (windows_key_order).
mask_machine() {
  local tab=$'\t'
  sed -E \
    -e '/^V[^ ]+ Build [^ ]+ - Current Time /{h;s/^(.* - Current Time ).*/\1/;x;s/^.* - Current Time //;s/[0-9]+/9/g;s/[A-Za-z]+/A/g;x;G;s/\n//}' \
    -e 's/^(               Number of processor\(s\): )[0-9]+/\1<count>/' \
    -e 's/^(       (Total physical Memory|Free physical memory|Total page file size|Free page file) )[0-9]+ Mb/\1<n> Mb/' \
    -e 's/^(       [A-Z]:\\      )-?[0-9]+      -?[0-9]+(      \$)/\1<total>      <free>\2/' \
    -e '/^Pinging Self\.\.\.\r$/{n;s/^ Pinging: [0-9.]+ \([^)]*\)/ Pinging: <address> (<host>)/}' \
    -e 's/^( Pinging: .*) from [^ ]+ (with 32 bytes of data\.\.\.\r)$/\1 from <host> \2/' \
    -e 's/^ Got response in ([0-9]+|less than 1) ms\./ Got response in <time> ms./' \
    -e 's/^(Computer name = |Host name     = |FQDN          = |Network name  = ).*(\r)$/\1<name>\2/' \
    -e "/^${tab}($wine_system_files):${tab}|^       ($wine_system_files):     Version Information/d" \
    -e '/^               [a-z] unterminated [0-9]+:     /d' \
    "$1" | windows_key_order
}

# The trees of the registry dump, in the report's order.
dump_trees='Software\Velmora Software
SYSTEM\CurrentControlSet\Services\CVNSvc
SYSTEM\CurrentControlSet\Services\NobleNet Portmapper
SYSTEM\CurrentControlSet\Services\cvn-fltr
SYSTEM\CurrentControlSet\Services\cvn-jnl
SYSTEM\CurrentControlSet\Services\cvn-rec
Software\Microsoft\Windows NT\CurrentVersion\NetworkCards
SYSTEM\CurrentControlSet\Services\Tcpip
SYSTEM\CurrentControlSet\Services\SNMP
SYSTEM\CurrentControlSet\Services\WinSock
SYSTEM\CurrentControlSet\Services\LanmanServer
SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management'

# windows_key_order: the report on standard input with the key blocks of its
# registry dump in the order Windows enumerates subkeys, sorted on their
# upper-cased names. Wine sorts them on lower-cased names, so a name that
# begins with one of [ \ ] ^ _ ` comes before the letters there and after
# them on Windows (RegEnumKeyExA documents no order; the product lists keys
# as they are enumerated). Within a tree a key's subkeys come before it.
windows_key_order() {
  DUMP_TREES=$dump_trees awk '
    BEGIN { ntrees = split(ENVIRON["DUMP_TREES"], tree, "\n") }
    function sort_key(path,   t, rest, n, part, i, key) {
      for (t = 1; t <= ntrees; t++)
        if (path == tree[t] || index(path, tree[t] "\\") == 1) break
      rest = substr(path, length(tree[t]) + 2)
      key = sprintf("%02d", t)
      n = split(rest, part, "\\")
      for (i = 1; i <= n; i++) key = key "\001" toupper(part[i])
      return key "\001\177"
    }
    { line[++count] = $0 }
    END {
      for (i = 1; i <= count; i++) {
        print line[i]
        if (line[i] ~ /^SELECTED CONFIGURATION REGISTRY INFORMATION:\r?$/) break
      }
      if (i > count) exit
      print line[++i]
      blocks = 0
      for (i++; i < count && line[i] ~ /^\r?$/ && line[i + 1] ~ /^     Values for key: /; ) {
        path = substr(line[i + 1], 22); sub(/\r$/, "", path)
        text = line[i] "\n" line[i + 1]
        for (i += 2; i <= count && line[i] ~ /^               /; i++) text = text "\n" line[i]
        blocks++; key[blocks] = sort_key(path); block[blocks] = text
      }
      for (a = 2; a <= blocks; a++)
        for (b = a; b > 1 && key[b - 1] > key[b]; b--) {
          k = key[b]; key[b] = key[b - 1]; key[b - 1] = k
          t = block[b]; block[b] = block[b - 1]; block[b - 1] = t
        }
      for (a = 1; a <= blocks; a++) print block[a]
      for (; i <= count; i++) print line[i]
    }'
}

# win_path PATH: the host path of a C: path on the Wine machine.
win_path() {
  local path=${1#[Cc]:\\}
  printf '%s/drive_c/%s' "$WINEPREFIX" "${path//\\//}"
}

# split_path TEXT: its first word, or its first quoted text (a path with
# blanks), in $path; the words after it in $rest.
split_path() {
  if [[ $1 =~ ^\"([^\"]*)\"\ *(.*)$ ]]; then
    path=${BASH_REMATCH[1]} rest=${BASH_REMATCH[2]}
  else
    path=${1%% *} rest=${1#* }
  fi
}

# lay_out_on_wine MACHINE: a fresh Wine machine holding what MACHINE describes.
lay_out_on_wine() {
  local machine=$1 name
  name=$(basename "$machine" .machine)
  wine_use_pristine "$CVN_SCENARIO"
  local directive rest version build csd
  read -r _ version build csd < <(grep -m1 '^windows ' "$machine")
  # The versions Wine poses as: winecfg's name, build and CSD text.
  local -A posed=([4.0]="nt40 1381 Service Pack 6a" [3.51]="nt351 1057 Service Pack 5")
  local winecfg_name posed_build posed_csd
  read -r winecfg_name posed_build posed_csd <<<"${posed[$version]:-none 0 none}"
  check_eq "$name: Windows NT $version build $build (one Wine poses as)" "$posed_build" "$build"
  wine_run winecfg winecfg /v "$winecfg_name"
  if [[ $csd != "$posed_csd" ]]; then
    wine_run csd reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CSDVersion /d "$csd" /f
    wine_run csd_number reg add 'HKLM\System\CurrentControlSet\Control\Windows' /v CSDVersion \
      /t REG_DWORD /d "0x${csd//[^0-9]/}00" /f
  fi
  # Wine's own trees among those the registry dump lists: the network cards
  # and TCP/IP parameters it writes at every start (the host's) and its
  # defaults of WinSock (keys without values), the server service and the
  # memory manager. The machine holds what its description says.
  local tree
  for tree in 'Software\Microsoft\Windows NT\CurrentVersion\NetworkCards' \
              'SYSTEM\CurrentControlSet\Services\Tcpip' 'SYSTEM\CurrentControlSet\Services\WinSock' \
              'SYSTEM\CurrentControlSet\Services\LanmanServer' \
              'SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management'; do
    wine_run clear reg delete "HKLM\\$tree" /f
  done
  { printf 'REGEDIT4\r\n\r\n'
    { grep -E '^(\[|"|@)' "$machine" || true; } | sed -e 's/^\[/\r\n[/' -e 's/$/\r/'
  } >"$work/$name.reg"
  wine_run "import_$name" regedit /S "$work/$name.reg"
  check_eq "$name: registry imported" 0 "$WINE_RC"
  local path numbers text table translation
  while read -r directive rest; do
    case $directive in
      dir) mkdir -p "$(win_path "$rest")" ;;
      file)
        split_path "$rest"
        mkdir -p "$(dirname "$(win_path "$path")")"
        printf '%s\r\n' "$rest" >"$(win_path "$path")"
        ;;
      version | version-table)
        split_path "$rest"
        table=040904b0 translation=0409,04b0
        if [[ $directive == version ]]; then
          read -r numbers text <<<"$rest"
        else
          read -r numbers table translation text <<<"$rest"
        fi
        mkdir -p "$(dirname "$(win_path "$path")")"
        VERSION_TABLE=$table VERSION_TRANSLATION="0x${translation/,/, 0x}" \
          check "$name: $path built" version_dll "$(win_path "$path")" ${numbers//./ } "$text"
        ;;
    esac
  done <"$machine"
}

for machine in "$machines_dir"/*.machine; do
  name=$(basename "$machine" .machine)
  sim_text=$work/$name.sim.txt
  wine_text=$work/$name.wine.txt

  sim_rc=0
  "$sim_report" "$machine" "$sim_text" "$processor_level" >"$work/$name.sim.err" 2>&1 || sim_rc=$?
  check_eq "$name: the simulation's report written" 0 "$sim_rc"
  [[ $sim_rc == 0 ]] || cat "$work/$name.sim.err"

  lay_out_on_wine "$machine"
  rm -f "$(win_path 'C:\report.txt')"
  wine_run "health_$name" "$CVN_BUILD_DIR/call_export.exe" zrHealthLog 'C:\report.txt' CVNUNIST.dll
  check_eq "$name: zrHealthLog under Wine returns 0" 0 "$WINE_RC"
  cp "$(win_path 'C:\report.txt')" "$wine_text" 2>/dev/null || : >"$wine_text"
  wine_server_stop

  mask_machine "$sim_text" >"$sim_text.masked"
  mask_machine "$wine_text" >"$wine_text.masked"
  if cmp -s "$sim_text.masked" "$wine_text.masked"; then
    check "$name: the simulation's report is Wine's" true
  else
    check "$name: the simulation's report is Wine's" false
    diff -u --label "simulation ($name)" --label "wine ($name)" \
      <(tr -d '\r' <"$sim_text.masked") <(tr -d '\r' <"$wine_text.masked") || true
    cmp -s <(tr -d '\r' <"$sim_text.masked") <(tr -d '\r' <"$wine_text.masked") &&
      echo "  (the texts differ in their line ends only)"
  fi
done

finish
