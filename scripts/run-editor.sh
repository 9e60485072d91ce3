#!/usr/bin/env bash
# Starts the editor from a build folder on its default project; falls back to
# a virtual X server when no display is available.
set -euo pipefail
build="${1:-build}"
shift || true
exe="$build/app/kivane2"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe" "$@"
fi
echo "No display found: starting the editor on a virtual X server (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "$@"
