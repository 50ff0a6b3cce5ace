#!/usr/bin/env bash
# Installs what is missing, builds (Release) and starts Marvolen from build/bin.
source "$(dirname "$0")/common.sh"
mv_install_packages
mv_build default
BIN="$ROOT/build/bin"
if [ ! -x "$BIN/marvolen" ]; then
  echo "The program is not built yet (no $BIN/marvolen)." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Start Marvolen under a virtual display with:" >&2
  echo "  xvfb-run -a scripts/run.sh" >&2
  exit 1
fi
cd "$BIN"
exec ./marvolen "$@"
