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
# take long to come up; one that ended or did not come up is started again, and the tests do not start
# without both: without them the tests fail with messages that point elsewhere.
desktop_pids=()
trap 'kill "${desktop_pids[@]}" 2>/dev/null || true' EXIT
# bring_up NAME LOG CHECK COMMAND...: up to three starts of COMMAND, each waited for until CHECK passes or
# it ends; stops the script with what it wrote to LOG when none came up.
bring_up() {
  local name=$1 log=$2 check=$3 attempt pid
  shift 3
  : >"$log"
  for attempt in 1 2 3; do
    "$@" >>"$log" 2>&1 &
    pid=$!
    desktop_pids+=("$pid")
    for _ in $(seq 1 600); do
      "$check" && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [ "$attempt" -lt 3 ]; then echo "test.sh: the $name did not come up; starting it again" >&2; fi
  done
  "$check" && return 0
  echo "test.sh: no $name on the test display; its output:" >&2
  cat "$log" >&2
  exit 1
}
# The window that the window manager names on the root window exists and names itself: a window manager
# that ended leaves the root's property behind.
wm_up() {
  local id
  id=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # *//p')
  [ -n "$id" ] && xprop -id "$id" _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id # *$id$"
}
tray_up() { xdotool search --classname trayer >/dev/null 2>&1; }
bring_up "window manager" build/ci/openbox.log wm_up openbox
# Quillora opens its popover at start when it finds no tray, so the tray must be up first.
bring_up "system tray" build/ci/trayer.log tray_up \
  trayer --edge top --align right --widthtype request --height 24 --transparent true

ctest --test-dir build/ci --output-on-failure -j "$(nproc)" "$@"
