# Shared by scripts/report.sh and scripts/test.sh: the Debian packages each
# step needs, installed only when missing, and quiet builds with their logs.
CVN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
CVN_LOGS=$CVN_ROOT/build/logs
CVN_JOBS=${CVN_JOBS:-$(nproc 2>/dev/null || echo 2)}

CVN_NATIVE_PACKAGES=(cmake make g++ libgtest-dev libbenchmark-dev)
CVN_WIN32_PACKAGES=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686)
CVN_WINE_PACKAGES=(wine wine32:i386)

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

# ensure_packages PACKAGE...: installs those not installed yet, with one
# package-list update, and i386 enabled first when an i386 package is missing.
ensure_packages() {
  local package missing=()
  for package in "$@"; do
    cvn_installed "$package" || missing+=("$package")
  done
  ((${#missing[@]} > 0)) || return 0
  mkdir -p "$CVN_LOGS"
  local log=$CVN_LOGS/install.log
  cvn_note "Installing ${missing[*]} (log: ${log#"$CVN_ROOT"/})"
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    cvn_as_root dpkg --add-architecture i386
  fi
  if ! { cvn_as_root apt-get update -q &&
         cvn_as_root apt-get install -y -q --no-install-recommends "${missing[@]}"; } \
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
