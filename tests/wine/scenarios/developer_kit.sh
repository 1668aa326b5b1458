# The developer kit as a caller meets it: the examples built from the unpacked
# release package (never from the tree) with the MinGW compiler, through
# lib/libcvnunist.a, through lib/cvnunist.lib (linked by LLD, a COFF linker
# that reads the Microsoft linker's import libraries, also in that linker's
# own mode) and through LoadLibraryA; each binds the plain export names,
# calls all six exports on a machine of its own (hooks unattended) and keeps
# the stack pointer.
source "$(dirname "$0")/../lib.sh"

kit=$CVN_OUTPUT_DIR/$CVN_SCENARIO
rm -rf "$kit"
mkdir -p "$kit/unpacked"
package=$(CVN_PACKAGE_BUILD_DIR=$CVN_BUILD_DIR CVN_DIST_DIR=$kit "$CVN_SOURCE_DIR/scripts/package.sh")
unzip -q "$package" -d "$kit/unpacked"
cd "$kit/unpacked"

toolchain=${CVN_OBJDUMP%objdump}
objdump=${CVN_OBJDUMP:-i686-w64-mingw32-objdump}
# Strict C89 against the Windows NT 4.0 headers: the kit must compile cleanly.
cc=("${toolchain}gcc" -std=c89 -pedantic -Wall -Wextra -Werror -O2
    -D_WIN32_WINNT=0x0400 -DWINVER=0x0400)
exports=$(printf '%s\n' UninstInitialize UninstUnInitialize ValidateEnvironment \
            inEnsureServiceNotRunning zrHealthLog zrPortExists | sort)

# built NAME COMMAND...: compiles one example, its messages kept.
built() {
  local name=$1
  shift
  "$@" >"$kit/$name.build" 2>&1 || { cat "$kit/$name.build"; return 1; }
}
# imports EXE: the names EXE imports from CVNUNIST.dll, sorted.
imports() {
  "$objdump" -p "$1" | sed -n '/^\tDLL Name: CVNUNIST.dll/,/^$/p' |
    awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' | sort
}

check "cvnunist.h compiles alone as C++98" \
  built header_cxx "${toolchain}g++" -x c++ -std=c++98 -pedantic -Wall -Wextra -Werror -fsyntax-only \
  -D_WIN32_WINNT=0x0400 -DWINVER=0x0400 include/cvnunist.h
check "call_linked.c links through lib/libcvnunist.a" \
  built linked "${cc[@]}" -Iinclude examples/call_linked.c -Llib -lcvnunist -o call_linked.exe
check "call_linked.c links through lib/cvnunist.lib" \
  built linked_lib "${cc[@]}" -Iinclude -fuse-ld=lld examples/call_linked.c lib/cvnunist.lib \
  -o call_linked_lib.exe
check "call_loaded.c builds without an import library" \
  built loaded "${cc[@]}" -Iinclude examples/call_loaded.c -o call_loaded.exe

# The Microsoft linker's own way: lld-link in its default mode, no C runtime,
# an object that calls every export (GCC's objects carry no safe exception
# handler table, hence /safeseh:no).
cat >msvc_mode.c <<'CALLS'
#include "cvnunist.h"
int Start(void)
{
    char targets[] = "alpha ";
    return (int)UninstInitialize(NULL, NULL, 0) + (int)UninstUnInitialize(NULL, NULL, 0) +
           ValidateEnvironment(0, 0, "v.txt", targets, NULL) + zrHealthLog("h.txt", NULL) +
           zrPortExists(1) + inEnsureServiceNotRunning("none");
}
CALLS
check "an object calling every export links with lld-link through cvnunist.lib" \
  built msvc_mode sh -c '"$@" -Iinclude -c msvc_mode.c -o msvc_mode.obj &&
    lld-link /nologo /nodefaultlib /safeseh:no /entry:Start /subsystem:console /out:msvc_mode.exe \
      msvc_mode.obj lib/cvnunist.lib' sh "${cc[@]}"
check_eq "through cvnunist.lib in lld-link's own mode the six plain names are imported" \
  "$exports" "$(imports msvc_mode.exe)"
check_eq "through libcvnunist.a the six plain names are imported" "$exports" "$(imports call_linked.exe)"
check_eq "through cvnunist.lib the six plain names are imported" "$exports" "$(imports call_linked_lib.exe)"
check_eq "call_loaded.exe imports nothing from CVNUNIST.dll" "" "$(imports call_loaded.exe)"
# The Microsoft linker's own format: short import members, the hooks' names
# undecorated from their stdcall symbols, the others without the underscore.
check_eq "cvnunist.lib: the name type of each export's member" \
  "$(printf '%s\n' "undecorate _UninstInitialize@12" "undecorate _UninstUnInitialize@12" \
       "noprefix _ValidateEnvironment" "noprefix _zrHealthLog" "noprefix _zrPortExists" \
       "noprefix _inEnsureServiceNotRunning")" \
  "$(llvm-readobj --coff-imports lib/cvnunist.lib |
       awk '/^Name type:/ { type = $3 } /^Symbol: _[^_]/ { print type, $2 }')"

# ---- The examples under Wine --------------------------------------------------
wine_use_pristine
# A port nobody listens on at this host's own address: the probe is refused.
port=20499
expected_lines() {
  printf '%s = %s, stack pointer kept\n' zrHealthLog 0 ValidateEnvironment "$1" \
    zrPortExists 10061 inEnsureServiceNotRunning 0 UninstInitialize 0 UninstUnInitialize 0
}

# run_example EXE: runs EXE with the hooks unattended, in a directory of its
# own beside a copy of the packed DLL; sets RUN (that directory) and LINES
# (its lines on standard error, without what Wine itself says there).
run_example() {
  RUN=$kit/run.${1%.exe}
  mkdir -p "$RUN"
  cp "$1" CVNUNIST.dll "$RUN/"
  (cd "$RUN" && wine_run "${1%.exe}" "$RUN/$1" -a "$port" cvnkit-absent && echo "$WINE_RC" >rc)
  LINES=$(tr -d '\r' <"$CVN_OUTPUT_DIR/$CVN_SCENARIO.${1%.exe}.err" | grep -E '^[A-Za-z]+ = ' || true)
}

# The unattended hooks end by completing the shipped status file, for an
# installation they found: the product key names a directory that holds a
# program file (the second hook deletes it, so it is made for each example).
status=$WINEPREFIX/drive_c/windows/cvnunins
installation=$WINEPREFIX/drive_c/CorvaneKit
first=
for example in call_linked.exe call_linked_lib.exe call_loaded.exe; do
  printf '[MIF]\r\n' >"$status.mi_"
  rm -f "$status.mif"
  mkdir -p "$installation"
  : >"$installation/cvnsvc.exe"
  wine_run "install.${example%.exe}" reg add 'HKLM\SOFTWARE\Velmora Software\Corvane\1.5' \
    /v InstallationDirectory /d 'C:\CorvaneKit\' /f
  run_example "$example"
  check_file "$example: the hooks ran unattended to the end" $'[MIF]\r\n ' "$status.mif"
  check_eq "$example exits 0: no call moved the stack pointer" 0 "$(cat "$RUN/rc")"
  severity=$(sed -n 's/^ValidateEnvironment = \([0-2]\), .*/\1/p' <<<"$LINES")
  check_eq "$example: every call's result, the stack pointer kept" \
    "$(expected_lines "${severity:-?}")" "$LINES"
  check_eq "$example: the full report reads its messages from CVNUNIST.dll" \
    "Velmora Software Corvane environment check." "$(head -n 1 "$RUN/health.txt" | tr -d '\r')"
  check "$example: the validation wrote its report" test -f "$RUN/validate.txt"
  [[ -n $first ]] || first=$LINES
  check_eq "$example: the same results as call_linked.exe" "$first" "$LINES"
done

# The check that sees a wrong calling convention: the hooks' pointer type
# without WINAPI, and WINAPI added to zrPortExists's.
mkdir -p wrong
sed -e 's/^typedef LONG (WINAPI \*CVN_UNINST_HOOK)/typedef LONG (*CVN_UNINST_HOOK)/' \
    -e 's/^typedef int (__cdecl \*CVN_PORT_EXISTS)/typedef int (WINAPI *CVN_PORT_EXISTS)/' \
    include/cvnunist.h >wrong/cvnunist.h
check "a wrong convention builds" built wrong "${cc[@]}" -Iwrong examples/call_loaded.c -o call_wrong.exe
run_example call_wrong.exe
check_eq "a wrong convention: three calls moved the stack pointer" 3 "$(cat "$RUN/rc")"
check "a hook declared without WINAPI moves the stack pointer by 12 bytes" \
  grep -qx 'UninstInitialize = 0, stack pointer moved by 12 bytes' <<<"$LINES"
check "a C function declared WINAPI moves the stack pointer back by 4 bytes" \
  grep -qx 'zrPortExists = 10061, stack pointer moved by -4 bytes' <<<"$LINES"
finish
