#!/usr/bin/env bash
# The release package: builds the Windows binaries (win32 preset) and writes
# dist/cvnunist-<version>.zip holding CVNUNIST.dll, cvncheck.exe, README.txt
# (what each file is, the exports, the developer kit, how to run cvncheck),
# the developer kit (include/, lib/, examples/) and SHA256SUMS (of every
# other file). <version> is the file version of resources/version.h
# (1.5.1.841 for "V1.5.1 Build 841-0"). Prints the package's path.
#   CVN_PACKAGE_BUILD_DIR  take the binaries and the kit's import libraries
#                          from this build directory as they are, without
#                          building
#   CVN_DIST_DIR           write the package here instead of dist/
# Every file in the package carries the time of the last commit
# (SOURCE_DATE_EPOCH when set), so the same binaries give the same zip.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

build=${CVN_PACKAGE_BUILD_DIR:-}
if [[ -z $build ]]; then
  ensure_packages "${CVN_WIN32_PACKAGES[@]}" "${CVN_PACKAGE_PACKAGES[@]}"
  cvn_build win32
  build=$CVN_ROOT/build/win32
else
  ensure_packages "${CVN_PACKAGE_PACKAGES[@]}"
fi
dist=${CVN_DIST_DIR:-$CVN_ROOT/dist}

version_h=$CVN_ROOT/resources/version.h
version_text=$(sed -n 's/^#define CVN_VERSION_TEXT "\(.*\)"$/\1/p' "$version_h")
version=$(sed -n 's/^#define CVN_FILE_VERSION \([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\)$/\1.\2.\3.\4/p' \
            "$version_h")
if [[ -z $version_text || -z $version ]]; then
  cvn_note "No version in ${version_h#"$CVN_ROOT"/}"
  exit 1
fi
# The exports under their published names, as the module definition file lists them.
exports=$(sed -n '/^EXPORTS/,$ { /^EXPORTS/d; /^;/d; s/^\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p; }' \
            "$CVN_ROOT/resources/cvnunist.def")

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$CVN_ROOT" log -1 --format=%ct 2>/dev/null || echo 0)}
# A zip cannot date a file before 1980.
zip_epoch=315532800
((epoch > zip_epoch)) || epoch=$zip_epoch
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/CVNUNIST.dll" "$build/cvncheck.exe" "$stage/"

# The developer kit: the header and the examples from the tree, the import
# libraries from the build; Windows line ends in the texts.
kit_texts=(include/cvnunist.h examples/call_check.h examples/call_linked.c examples/call_loaded.c)
kit_libraries=(lib/libcvnunist.a lib/cvnunist.lib)
mkdir -p "$stage/include" "$stage/lib" "$stage/examples"
for file in "${kit_texts[@]}"; do sed 's/$/\r/' "$CVN_ROOT/$file" >"$stage/$file"; done
for file in "${kit_libraries[@]}"; do cp "$build/kit/$file" "$stage/$file"; done
files=(CVNUNIST.dll cvncheck.exe README.txt "${kit_texts[@]}" "${kit_libraries[@]}")

# Windows readers: CRLF line ends.
{
  cat <<EOF
Corvane environment check and uninstall extension, $version_text
Velmora Software

Files
  CVNUNIST.dll  the uninstall extension and environment check library
                (32-bit, Windows NT 3.51 and 4.0 on Intel)
  cvncheck.exe  the environment report from a console
  README.txt    this text
  include\      cvnunist.h, the exports for C and C++ callers
  lib\          import libraries: libcvnunist.a (MinGW), cvnunist.lib
                (Microsoft linker)
  examples\     two small C callers (see Developer kit below)
  SHA256SUMS    SHA-256 sums of every other file (sha256sum -c SHA256SUMS)

Exports of CVNUNIST.dll (undecorated names)
EOF
  for name in $exports; do printf '  %s\n' "$name"; done
  cat <<'EOF'
  The uninstaller calls UninstInitialize and UninstUnInitialize
  (WINAPI, (HWND, HANDLE, LONG)); setup calls the others (C calling convention):
    int ValidateEnvironment(unsigned flags, int level, const char* outputFile,
                            char* targets, const char* moduleName)
    int zrHealthLog(const char* outputFile, const char* moduleName)
    int zrPortExists(int port)
    int inEnsureServiceNotRunning(const char* serviceName)

Developer kit
  include\cvnunist.h declares the six exports with their calling
  conventions, the meaning of every argument and result, and pointer types
  for GetProcAddress. Declare them through it: calling a WINAPI hook as a C
  function, or the other way round, corrupts the caller's stack.
  Both import libraries bind the plain export names, the hooks included:
    MinGW      gcc -Iinclude app.c -Llib -lcvnunist
    Microsoft  cl /Iinclude app.c lib\cvnunist.lib
  examples\call_linked.c calls all six exports through the import library,
  examples\call_loaded.c finds them with LoadLibraryA and GetProcAddress;
  both print each result and whether the stack pointer was kept. Careful:
  they call the uninstall hooks, which remove Corvane from the machine they
  run on. The report exports write to the file they are given and close
  the caller's standard output (stdout of msvcrt.dll); pass "CVNUNIST.dll"
  as the message module.

Running cvncheck
  cvncheck [-warnings | -errors] [-eventlogs] [-out filename] [-?]
  From a console on the machine to check; the report goes to the console, or
  to the file named by -out. -warnings and -errors report only warnings and
  errors, or only errors; -eventlogs adds the product's event-log entries.
  Exit code: 0 no problems, 1 potential problems, 2 serious problems,
  -1 a bad -out.
EOF
} | sed 's/$/\r/' >"$stage/README.txt"

(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)
touch -d "@$epoch" "$stage"/* "${files[@]/#/$stage/}"

mkdir -p "$dist"
package=$dist/cvnunist-$version.zip
rm -f "$package"
# -X: no extra attributes (owner, access times), so the same files give the same zip.
(cd "$stage" && TZ=UTC zip -q -X "$package" "${files[@]}" SHA256SUMS)
echo "$package"
