#!/usr/bin/env bash
# Builds everything and runs every test (widgets offscreen), then the sanitizer build of the SQL
# core. Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

kv_install_packages "${KV_PACKAGES[@]}"

kv_log "Building in $KV_BUILD_DIR"
kv_build -DKV_WERROR=ON
kv_log "Running the tests"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$KV_BUILD_DIR" --output-on-failure -j "$(nproc)"

kv_log "Sanitizer build of the SQL core (address + undefined behaviour)"
KV_BUILD_DIR="$KV_BUILD_DIR-asan" kv_build -DKV_WERROR=ON -DKV_SANITIZE=ON -DKV_CORE_ONLY=ON
ctest --test-dir "$KV_BUILD_DIR-asan" --output-on-failure -j "$(nproc)"
kv_log "All tests passed"
