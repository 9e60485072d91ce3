#!/usr/bin/env bash
# Starts the editor from a build folder on its default project, with a
# virtual MARLO-3 board beside it (stopped again when the editor exits), so
# the online commands work without a robot. Falls back to a virtual X server
# when no display is available.
set -euo pipefail
build="${1:-build}"
shift || true
exe="$build/app/kivane2"
sim="$build/app/marlo-sim"

sim_pid=""
if [ -x "$sim" ] && [ -z "${KIVANE2_NO_VIRTUAL_BOARD:-}" ]; then
  # The board's flash lives in a file, so a written ROM survives restarts.
  "$sim" --flash "$build/app/virtual-board.flash" --socket make-run >/dev/null &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
fi

status=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$exe" "$@" || status=$?
else
  echo "No display found: starting the editor on a virtual X server (xvfb-run)."
  xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "$@" || status=$?
fi
exit "$status"
