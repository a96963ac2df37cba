#!/usr/bin/env bash
# Builds the demo, creates the EMPLOYEE sample database (once) and starts the demo connected to
# it. Extra arguments go to the program (kvarta --help lists them).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

kv_install_packages "${KV_PACKAGES[@]}"
kv_log "Building in $KV_BUILD_DIR"
kv_build
db=$("$KV_ROOT/scripts/make-sample-db.sh" "$KV_BUILD_DIR/sample")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<TXT
No display was found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the designer window
cannot be shown. To run it on a virtual display:

    apt-get install xvfb        # once
    xvfb-run -a -s '-screen 0 1280x900x24' $0

To render the window to a picture without any display:

    QT_QPA_PLATFORM=offscreen $KV_BUILD_DIR/demo/kvarta --screenshot kvarta.png $db
TXT
  exit 1
fi

kv_log "Starting the demo on $db"
exec "$KV_BUILD_DIR/demo/kvarta" "$db" "$@"
