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

# Inside the virtual display: a window manager and a tray, then the tests. On a busy machine either may
# take long to come up; a tray that ended before it docked anything is started again, and the tests do not
# start without one.
tray_log=build/ci/trayer.log
: >"$tray_log"
openbox >/dev/null 2>&1 &
wm_pid=$!
tray_pid=
trap 'kill $wm_pid $tray_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 600); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
# Quillora opens its popover at start when it finds no tray, so the tray must be up first.
tray_up() { xdotool search --classname trayer >/dev/null 2>&1; }
for _ in 1 2 3; do
  trayer --edge top --align right --widthtype request --height 24 --transparent true >>"$tray_log" 2>&1 &
  tray_pid=$!
  for _ in $(seq 1 600); do
    tray_up && break 2
    kill -0 "$tray_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "test.sh: the tray did not come up; starting it again" >&2
  kill "$tray_pid" 2>/dev/null || true
done
if ! tray_up; then
  echo "test.sh: no system tray on the test display; its output:" >&2
  cat "$tray_log" >&2
  exit 1
fi

ctest --test-dir build/ci --output-on-failure -j "$(nproc)" "$@"
