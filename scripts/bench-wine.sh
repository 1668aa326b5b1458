#!/usr/bin/env bash
# The real CVNUNIST.dll under Wine next to the tool an administrator would
# otherwise use, on the same trees, in a Wine prefix of its own:
#   registry dump    zrHealthLog           reg query <product tree> /s
#   registry delete  UninstUnInitialize -a reg delete <product tree> /f
#   leftover purge   UninstInitialize -a   cmd /c rmdir /s /q <Logs>
# with N extra keys (three values each: a string, a DWORD, 8 bytes of binary)
# in the product's tree, or N files in the installation's Logs folder.
#
# What is timed, the same way on both sides: one Wine process started from
# this script (wine PROGRAM ..., a persistent wineserver, output into a file),
# with N items minus the same command with none. Process start-up and
# everything else the command does (the rest of the report, the services step
# of the hooks) cancel out; what remains is the cost of the N items. Two
# clocks: the wall time, and the CPU time of the process and of the wineserver
# meanwhile (hardly touched by whatever else the machine runs). Runs are
# interleaved (ours, theirs, ours without, theirs without, ...) and each
# figure is a median over the rounds; every layout is made afresh before each
# run and is not timed.
#
#   scripts/bench-wine.sh [-r ROUNDS] [-k dump,delete,purge] [-d DLL] [N...]
#   (default: -r 7, all three, 1000 and 10000 items, the build's DLL; item
#   counts below the largest take three times the rounds; -d times another
#   CVNUNIST.dll, e.g. an earlier build for a before and after)
#
# Prints one line per measurement and N, with the ratio ours/theirs, then how
# each side grows from one N to the next. Exit code 1 when a run fails or does
# not do its work.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

rounds=7
kinds=(dump delete purge)
dll=
while getopts r:k:d: option; do
  case $option in
    r) rounds=$OPTARG ;;
    k) IFS=, read -r -a kinds <<<"$OPTARG" ;;
    d) dll=$(realpath "$OPTARG") || exit 2 ;;
    *) echo "usage: $0 [-r ROUNDS] [-k dump,delete,purge] [-d DLL] [N...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
counts=("$@")
(($# > 0)) || counts=(1000 10000)

ensure_packages "${CVN_WIN32_PACKAGES[@]}" "${CVN_WINE_PACKAGES[@]}" || exit 1
cvn_build win32 || exit 1

export CVN_BUILD_DIR=$CVN_ROOT/build/win32
# Another directory (CVN_BENCH_WINE_DIR) lets two runs go side by side.
export CVN_WINE_DIR=${CVN_BENCH_WINE_DIR:-$CVN_BUILD_DIR/bench-wine}
export CVN_OBJDUMP=${CVN_OBJDUMP:-i686-w64-mingw32-objdump}
# One run at a time per directory: setting up would stop another's machine.
# (A process id, not a lock on a descriptor the wineserver would inherit.)
mkdir -p "$CVN_WINE_DIR"
owner=$(cat "$CVN_WINE_DIR/bench.pid" 2>/dev/null)
if [[ -n $owner && $owner != "$$" ]] && grep -qs bench-wine "/proc/$owner/cmdline"; then
  echo "scripts/bench-wine.sh (process $owner) uses $CVN_WINE_DIR" >&2
  exit 1
fi
echo $$ >"$CVN_WINE_DIR/bench.pid"
# The prefixes of the Wine tests, made the same way but in a directory of our own.
bash "$CVN_ROOT/tests/wine/prefix_setup.sh" >/dev/null || exit 1
source "$CVN_ROOT/tests/wine/lib.sh"
set +e
# Stopped from outside (a time-out): still stop the machine on the way out.
trap 'exit 143' TERM
trap 'exit 130' INT
at_exit "bash '$CVN_ROOT/tests/wine/prefix_cleanup.sh'; rm -f '$CVN_WINE_DIR/bench.pid'"
wine_use_shared

host=$CVN_BUILD_DIR/bench_exports.exe
if [[ -n $dll ]]; then
  # The host loads the CVNUNIST.dll beside it.
  mkdir -p "$CVN_WINE_DIR/other"
  cp "$host" "$dll" "$CVN_WINE_DIR/other/"
  [[ $(basename "$dll") == CVNUNIST.dll ]] || mv "$CVN_WINE_DIR/other/$(basename "$dll")" "$CVN_WINE_DIR/other/CVNUNIST.dll"
  host=$CVN_WINE_DIR/other/bench_exports.exe
fi
product_tree='HKLM\SOFTWARE\Velmora Software\Corvane'
dump_tree='HKLM\Software\Velmora Software'
logs='C:\Program Files\Corvane\Logs'
logs_unix=$WINEPREFIX/drive_c/Program\ Files/Corvane/Logs
report='C:\bench-report.txt'
report_unix=$WINEPREFIX/drive_c/bench-report.txt
problems=0

problem() {
  echo "FAILED: $*" >&2
  problems=$((problems + 1))
}

# Layouts, not timed.
make_keys() {
  wine_run keys "$host" keys "$1"
  [[ $WINE_RC == 0 ]] || problem "registry layout of $1 keys (exit code $WINE_RC)"
}
make_files() {
  rm -rf "$logs_unix"
  mkdir -p "$logs_unix"
  # A program file of the product: only then is the directory purged.
  : >"${logs_unix%/Logs}/cvnsvc.exe"
  ((${1} == 0)) || (cd "$logs_unix" && seq -f 'job%06g.log' 1 "$1" | xargs touch)
}

# The wineserver of our prefix: the one whose working directory is the
# server directory Wine derives from the prefix's device and inode.
server_pid() {
  local dir process
  dir=server-$(printf '%x' "$(stat -c %d "$WINEPREFIX")")-$(printf '%x' "$(stat -c %i "$WINEPREFIX")")
  for process in /proc/[0-9]*; do
    [[ $(cat "$process/comm" 2>/dev/null) == wineserver* &&
       $(readlink "$process/cwd") == */"$dir" ]] && { echo "${process#/proc/}"; return; }
  done
  return 1
}
server=$(server_pid) || { echo "no wineserver found for $WINEPREFIX" >&2; exit 1; }

# CPU time so far, in microseconds: of this shell's finished children (ms
# resolution) and of the wineserver (ns).
children_cpu() {
  times | awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); sum += t[1] * 60 + t[2] }
                         printf "%d", sum * 1000000 }'
}
server_cpu() { awk '{ printf "%d", $1 / 1000 }' "/proc/$server/schedstat"; }

# timed NAME PROGRAM [ARGS...]: runs it under Wine; ELAPSED (wall) and CPU
# (the process and the wineserver's work meanwhile), in microseconds.
timed() {
  local start end cpu_children cpu_server
  cpu_children=$(children_cpu)
  cpu_server=$(server_cpu)
  start=$(date +%s%N)
  wine_run "$@"
  end=$(date +%s%N)
  ELAPSED=$(((end - start) / 1000))
  CPU=$(($(children_cpu) - cpu_children + $(server_cpu) - cpu_server))
}

# One run of each kind: ELAPSED and CPU, and a problem when it did not do its
# work.
dump_ours() {
  rm -f "$report_unix"
  timed dump "$host" dump "$report"
  local keys
  keys=$(grep -c 'Values for key: .*\\Key[0-9]' "$report_unix" 2>/dev/null)
  [[ $keys == "$1" ]] || problem "zrHealthLog listed ${keys:-no} of $1 keys"
}
dump_theirs() {
  timed query reg query "$dump_tree" /s
  local keys
  keys=$(grep -c '^HKEY_.*\\Key[0-9]*.$' "$WINE_OUT")
  [[ $WINE_RC == 0 && $keys == "$1" ]] || problem "reg query listed ${keys:-no} of $1 keys"
}
delete_ours() {
  make_keys "$1"
  timed uninitialize "$host" uninitialize -a x
  key_gone "UninstUnInitialize"
}
delete_theirs() {
  make_keys "$1"
  timed delete reg delete "$product_tree" /f
  key_gone "reg delete"
}
key_gone() {
  wine_run check reg query "$product_tree"
  [[ $WINE_RC == 1 ]] || problem "$1 left the product key"
}
purge_ours() {
  make_keys 0
  make_files "$1"
  timed initialize "$host" initialize -a x
  [[ ! -e $logs_unix ]] || problem "UninstInitialize left $(find "$logs_unix" | wc -l) entries of Logs"
}
purge_theirs() {
  make_files "$1"
  timed rmdir cmd /c rmdir /s /q "$logs"
  [[ ! -e $logs_unix ]] || problem "rmdir left $(find "$logs_unix" | wc -l) entries of Logs"
}

median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "n/a" }'; }

# Smaller item counts take three times the rounds: their differences are
# small next to the noise, and their runs are short.
largest=$(printf '%s\n' "${counts[@]}" | sort -n | tail -n 1)
rounds_for() { if (($1 < largest)); then echo $((rounds * 3)); else echo "$rounds"; fi; }

declare -A result
# measure KIND N: rounds of ours and theirs with N items and with none,
# interleaved; result[KIND,N,ours|theirs,wall|cpu] = median(N) - median(0)
# in µs, and result[KIND,N,ours|theirs,raw] the two wall medians.
measure() {
  local kind=$1 n=$2 round side count clock with without
  local -A times=()
  for ((round = 0; round < $(rounds_for "$n"); round++)); do
    for count in "$n" 0; do
      [[ $kind != dump ]] || make_keys "$count"
      for side in ours theirs; do
        "${kind}_$side" "$count"
        times[$side,$count,wall]+=" $ELAPSED"
        times[$side,$count,cpu]+=" $CPU"
      done
    done
  done
  for side in ours theirs; do
    for clock in wall cpu; do
      # shellcheck disable=SC2086
      with=$(median ${times[$side,$n,$clock]})
      # shellcheck disable=SC2086
      without=$(median ${times[$side,0,$clock]})
      result[$kind,$n,$side,$clock]=$((with - without))
      [[ $clock == cpu ]] || result[$kind,$n,$side,raw]="$(ms "$with") - $(ms "$without")"
    done
  done
}

declare -A titles=([dump]="registry dump" [delete]="registry delete" [purge]="leftover purge")

more=
((${#counts[@]} == 1)) || more=" ($((rounds * 3)) below $largest items)"
echo "Time of one Wine process with N items minus the same without them, in ms,"
echo "medians of $rounds rounds$more; wall: elapsed, cpu: the process and the wineserver"
printf '%-16s %6s | %10s %10s %7s | %10s %10s %7s | %s\n' "" N "wall ours" theirs ratio \
  "cpu ours" theirs ratio "wall medians: ours N - 0, theirs N - 0"
for n in "${counts[@]}"; do
  for kind in "${kinds[@]}"; do
    measure "$kind" "$n"
    line=$(printf '%-16s %6s' "${titles[$kind]}" "$n")
    for clock in wall cpu; do
      ours=${result[$kind,$n,ours,$clock]}
      theirs=${result[$kind,$n,theirs,$clock]}
      line+=$(printf ' | %10s %10s %7s' "$(ms "$ours")" "$(ms "$theirs")" "$(ratio "$ours" "$theirs")")
    done
    echo "$line | ${result[$kind,$n,ours,raw]}, ${result[$kind,$n,theirs,raw]}"
  done
done

# Growth from each N to the next: linear means the time grows as the items do.
for ((i = 1; i < ${#counts[@]}; i++)); do
  from=${counts[i - 1]} to=${counts[i]}
  echo "Growth from $from to $to items (x$((to / from)) the items), wall and cpu:"
  for kind in "${kinds[@]}"; do
    for side in ours theirs; do
      line=$(printf '  %-16s %-6s' "${titles[$kind]}" "$side")
      for clock in wall cpu; do
        line+=$(awk -v a="${result[$kind,$from,$side,$clock]}" -v b="${result[$kind,$to,$side,$clock]}" \
          'BEGIN { if (a > 0) printf " x%.1f", b / a; else printf " n/a" }')
      done
      echo "$line"
    done
  done
done

((problems == 0)) || { echo "$problems runs did not do their work" >&2; exit 1; }
