#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
#   scripts/test.sh             the default build (build/)
#   scripts/test.sh --sanitize  an ASan + UBSan build (build-asan/)
source "$(dirname "$0")/common.sh"
preset=default
[ "${1:-}" = "--sanitize" ] && preset=asan
mv_install_packages
mv_build "$preset"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$ROOT"
ctest --preset "$preset" -j "$(nproc)"
