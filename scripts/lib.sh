# Shared by the run and test commands: package installation and the CMake build.
# shellcheck shell=bash

KV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KV_BUILD_DIR=${KV_BUILD_DIR:-$KV_ROOT/build}

# Debian packages of the stack: compiler and CMake, Qt 6 Widgets, the Firebird client library
# with its embedded engine, isql and the EMPLOYEE example, and a font for offscreen rendering.
KV_PACKAGES=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-server firebird3.0-utils
  firebird3.0-examples
  fontconfig fonts-dejavu-core)

kv_log() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }

kv_missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

# kv_install_packages PKG... : installs whichever of PKG... is missing, as root or through sudo.
kv_install_packages() {
  local missing
  missing=$(kv_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "These packages are missing and neither root nor sudo is available: $missing" >&2
      return 1
    fi
  fi
  kv_log "Installing: $(echo $missing)"
  # shellcheck disable=SC2086
  if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing; then
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
  fi
}

# kv_build [CMAKE_ARGS...] : configures (once) and builds the project in $KV_BUILD_DIR.
kv_build() {
  local gen=()
  command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
  if [ ! -f "$KV_BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$KV_ROOT" -B "$KV_BUILD_DIR" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  else
    cmake "$KV_BUILD_DIR" "$@" >/dev/null
  fi
  cmake --build "$KV_BUILD_DIR" --parallel "$(nproc)"
}
