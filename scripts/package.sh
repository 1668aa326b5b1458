#!/usr/bin/env bash
# The release package: builds the Windows binaries (win32 preset) and writes
# dist/cvnunist-<version>.zip holding CVNUNIST.dll, cvncheck.exe, README.txt
# (what each file is, the exports, how to run cvncheck) and SHA256SUMS (of
# the other three). <version> is the file version of resources/version.h
# (1.5.1.841 for "V1.5.1 Build 841-0"). Prints the package's path.
#   CVN_PACKAGE_BUILD_DIR  take the binaries from this build directory as they
#                          are, without building
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
  SHA256SUMS    SHA-256 sums of the three files above (sha256sum -c SHA256SUMS)

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

Running cvncheck
  cvncheck [-warnings | -errors] [-eventlogs] [-out filename] [-?]
  From a console on the machine to check; the report goes to the console, or
  to the file named by -out. -warnings and -errors report only warnings and
  errors, or only errors; -eventlogs adds the product's event-log entries.
  Exit code: 0 no problems, 1 potential problems, 2 serious problems,
  -1 a bad -out.
EOF
} | sed 's/$/\r/' >"$stage/README.txt"

(cd "$stage" && sha256sum CVNUNIST.dll cvncheck.exe README.txt >SHA256SUMS)
touch -d "@$epoch" "$stage"/*

mkdir -p "$dist"
package=$dist/cvnunist-$version.zip
rm -f "$package"
# -X: no extra attributes (owner, access times), so the same files give the same zip.
(cd "$stage" && TZ=UTC zip -q -X "$package" CVNUNIST.dll cvncheck.exe README.txt SHA256SUMS)
echo "$package"
