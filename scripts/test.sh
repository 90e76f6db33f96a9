#!/usr/bin/env bash
# Builds the sanitizer preset and runs every test under a virtual X display with a window manager and a
# system tray, so the X11 tests see a desktop like a user's.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset ci
cmake --build --preset ci -j "$(nproc)"

# Without a session bus, D-Bus clients (Qt's accessibility bridge among them) fork to autolaunch one;
# a fork of a many-threaded sanitizer build can hang in the child, and the app with it. A bus address
# that points at nothing fails at once instead. Tests that need a bus start their own.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  export DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/quillora-tests-have-no-session-bus"
fi

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  export QUILLORA_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" bash "$0" "$@"
fi

# Inside the virtual display: a window manager and a tray, then the tests.
openbox >/dev/null 2>&1 &
wm_pid=$!
trayer --edge top --align right --widthtype request --height 24 --transparent true >/dev/null 2>&1 &
tray_pid=$!
trap 'kill $wm_pid $tray_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
# Quillora opens its popover at start when it finds no tray, so the tray must be up first.
for _ in $(seq 1 50); do
  xdotool search --classname trayer >/dev/null 2>&1 && break
  sleep 0.1
done

ctest --test-dir build/ci --output-on-failure -j "$(nproc)" "$@"
