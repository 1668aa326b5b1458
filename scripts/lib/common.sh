# Shared by scripts/report.sh and scripts/test.sh: the Debian packages each
# step needs, installed only when missing, and quiet builds with their logs.
CVN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
CVN_LOGS=$CVN_ROOT/build/logs
CVN_JOBS=${CVN_JOBS:-$(nproc 2>/dev/null || echo 2)}

CVN_NATIVE_PACKAGES=(cmake make g++ libgtest-dev libbenchmark-dev)
# llvm: llvm-dlltool writes the developer kit's import library for the
# Microsoft linker.
CVN_WIN32_PACKAGES=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 llvm)
# gcovr reads the branch coverage of the native build's product code.
CVN_COVERAGE_PACKAGES=(gcovr)
# clang with its sanitizer and libFuzzer runtimes, for scripts/fuzz.sh.
CVN_FUZZ_PACKAGES=(clang libclang-rt-dev)
# netbase: /etc/services and the protocol table, without which service
# names do not resolve (rpcbind cannot even bind its port); minimal images
# lack it.
CVN_WINE_PACKAGES=(wine wine32:i386 rpcbind netbase locales)
# The release package (scripts/package.sh) and its check; lld links the
# developer kit's examples through its import library for the Microsoft linker.
CVN_PACKAGE_PACKAGES=(zip unzip lld)

export DEBIAN_FRONTEND=noninteractive

cvn_note() { echo "$*" >&2; }

cvn_as_root() {
  if [[ $(id -u) == 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo DEBIAN_FRONTEND=noninteractive "$@"
  else
    cvn_note "need root (or sudo) for: $*"
    return 1
  fi
}

cvn_installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]
}

# cvn_dependency_closure PACKAGE...: the installed packages among these and
# everything installed they depend on, directly or not (binary:Package names).
cvn_dependency_closure() {
  dpkg-query -W -f='${binary:Package}\t${db:Status-Abbrev}\t${Depends}, ${Pre-Depends}\n' |
    awk -F'\t' -v roots="$*" '
      $2 ~ /^ii/ {
        name = $1; sub(/:.*/, "", name)
        byname[name] = byname[name] " " $1; installed[$1] = 1; deps[$1] = $3
      }
      END {
        tail = split(roots, queue, " ")
        for (head = 1; head <= tail; head++) {
          item = queue[head]
          if (item in installed) list = item
          else { name = item; sub(/:.*/, "", name); list = byname[name] }
          count = split(list, packages, " ")
          for (i = 1; i <= count; i++) {
            package = packages[i]
            if (package in seen) continue
            seen[package] = 1
            print package
            n = split(deps[package], alternatives, /[,|]/)
            for (j = 1; j <= n; j++) {
              dep = alternatives[j]
              gsub(/\([^)]*\)/, "", dep); gsub(/[ \t]/, "", dep)
              if (dep != "") queue[++tail] = dep
            }
          }
        }
      }'
}

# cvn_path_excluded PATH: dpkg's path-exclude/path-include filters (the arrays
# of the caller) leave PATH out.
cvn_path_excluded() {
  local pattern excluded=1
  for pattern in "${excludes[@]}"; do
    # shellcheck disable=SC2053
    [[ $1 == $pattern ]] && excluded=0
  done
  ((excluded == 0)) || return 1
  for pattern in "${includes[@]}"; do
    # shellcheck disable=SC2053
    [[ $1 == $pattern ]] && return 1
  done
  return 0
}

# cvn_damaged_packages PACKAGE...: installed packages of the closure that have
# lost files (outside /etc), as dpkg names them. A package can be "installed"
# and still miss the very compiler the build runs.
cvn_damaged_packages() {
  local closure
  closure=$(cvn_dependency_closure "$@")
  [[ -n $closure ]] || return 0
  # Files dpkg was told not to unpack (path-exclude, as in slim images) are
  # not lost.
  local excludes=() includes=() key pattern
  while read -r key pattern; do
    case $key in
      path-exclude) excludes+=("$pattern") ;;
      path-include) includes+=("$pattern") ;;
    esac
  done < <(cat /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/* 2>/dev/null | sed 's/=/ /')
  # shellcheck disable=SC2086
  dpkg-query -L $closure 2>/dev/null |
    while IFS= read -r path; do
      [[ $path == /* && $path != /etc/* ]] || continue
      [[ -e $path || -L $path ]] && continue
      cvn_path_excluded "$path" || echo "$path"
    done |
    head -n 200 | xargs -r -d '\n' dpkg-query -S 2>/dev/null |
    sed -n 's/^\([^ ][^:]*\(:[a-z0-9]*\)\{0,1\}\): \/.*/\1/p' | tr ',' '\n' | tr -d ' ' | sort -u
}

# ensure_packages PACKAGE...: installs those not installed yet and reinstalls
# installed ones (or their dependencies) that have lost files, with one
# package-list update, and i386 enabled first when an i386 package is missing.
ensure_packages() {
  local package missing=() damaged=()
  set -- $(printf '%s\n' "$@" | awk '!seen[$0]++')
  for package in "$@"; do
    cvn_installed "$package" || missing+=("$package")
  done
  mapfile -t damaged < <(cvn_damaged_packages "$@")
  ((${#missing[@]} + ${#damaged[@]} > 0)) || return 0
  mkdir -p "$CVN_LOGS"
  local log=$CVN_LOGS/install.log
  ((${#missing[@]} == 0)) || cvn_note "Installing ${missing[*]} (log: ${log#"$CVN_ROOT"/})"
  ((${#damaged[@]} == 0)) || cvn_note "Reinstalling ${damaged[*]}, which lost files (log: ${log#"$CVN_ROOT"/})"
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    cvn_as_root dpkg --add-architecture i386
  fi
  if ! { cvn_as_root apt-get update -q &&
         { ((${#missing[@]} == 0)) ||
           cvn_as_root apt-get install -y -q --no-install-recommends "${missing[@]}"; } &&
         { ((${#damaged[@]} == 0)) ||
           cvn_as_root apt-get install -y -q --no-install-recommends --reinstall "${damaged[@]}"; }; } \
       </dev/null >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    cvn_note "Installing packages failed; see $log"
    return 1
  fi
}

# cvn_quiet LOGNAME COMMAND...: runs COMMAND with its output in a log, shown
# (the end of it) only when the command fails.
cvn_quiet() {
  local log=$CVN_LOGS/$1.log
  shift
  mkdir -p "$CVN_LOGS"
  if ! "$@" </dev/null >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    cvn_note "failed: $* (log: ${log#"$CVN_ROOT"/})"
    return 1
  fi
}

# cvn_build PRESET: configures and builds a preset.
cvn_build() {
  (cd "$CVN_ROOT" &&
   cvn_quiet "$1-configure" cmake --preset "$1" &&
   cvn_quiet "$1-build" cmake --build --preset "$1" -j "$CVN_JOBS")
}
