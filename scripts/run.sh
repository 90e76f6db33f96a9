#!/usr/bin/env bash
# Builds the optimised app, makes desktops list it (application entry and icon under
# ${XDG_DATA_HOME:-~/.local/share}) and starts it. When the local web API stand-in is built, it runs on a
# free loopback port for as long as the app does, and this app process alone is pointed at it through
# QUILLORA_DEV_API_URL: the user's own settings are left as they are. Launch at login is on by default;
# this app process writes its autostart entry to a folder of its own (QUILLORA_AUTOSTART_DIR), removed at
# the end, so that the user's login items stay as they were. The app keeps one instance per user, so a
# second run while the first still runs hands over to it (the running app reopens) and ends.
#
# For tests: QUILLORA_RUN_BUILD_DIR=<dir> runs the app and stand-in already built there, without
# installing packages or building.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  echo "Quillora needs an X11 display, and DISPLAY is not set." >&2
  echo "To try it without a desktop: xvfb-run -a -s '-screen 0 1600x1000x24' scripts/run.sh" >&2
  exit 1
fi

build="${QUILLORA_RUN_BUILD_DIR:-}"
if [ -z "$build" ]; then
  bash scripts/install-deps.sh
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(nproc)"
  build=build/release
fi

app="$(readlink -f "$build/quillora")"
api="$build/tools/dev-api/quillora-dev-api"
api_pid=""

# One argument of a desktop entry's Exec key: quoted, with the key's escapes.
exec_argument() {
  local escaped
  escaped=$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g' -e 's/\\/\\\\/g')
  printf '"%s"' "$escaped"
}

install_desktop_entry() {
  local data="${XDG_DATA_HOME:-$HOME/.local/share}"
  local exec_line
  exec_line="Exec=$(exec_argument "$app")"
  mkdir -p "$data/applications" "$data/icons/hicolor/scalable/apps"
  awk -v line="$exec_line" '/^Exec=/ { print line; next } { print }' resources/quillora.desktop \
    >"$data/applications/quillora.desktop"
  cp resources/images/AppIcon.svg "$data/icons/hicolor/scalable/apps/quillora.svg"
}

autostart=""

cleanup() {
  if [ -n "$api_pid" ]; then
    kill "$api_pid" 2>/dev/null || true
  fi
  if [ -n "$autostart" ]; then
    rm -rf "$autostart"
  fi
}
trap cleanup EXIT

autostart=$(mktemp -d -t quillora-autostart.XXXXXX)
export QUILLORA_AUTOSTART_DIR="$autostart"

install_desktop_entry

if [ -x "$api" ]; then
  salt=$(grep -E '^QUILLORA_CLIENT_SALT:' "$build/CMakeCache.txt" | cut -d= -f2-)
  log=$(mktemp -t quillora-dev-api.XXXXXX.log)
  portfile=$(mktemp -t quillora-dev-api.XXXXXX.port)
  # The salt goes through the environment, which other users cannot read, unlike the command line.
  QUILLORA_DEV_API_SALT="$salt" "$api" --port 0 --log "$log" >"$portfile" &
  api_pid=$!
  for _ in $(seq 1 50); do
    [ -s "$portfile" ] && break
    sleep 0.1
  done
  port=$(grep -Eo '[0-9]+' "$portfile" | head -n 1 || true)
  rm -f "$portfile"
  if [ -z "$port" ]; then
    echo "The local web API did not start." >&2
    exit 1
  fi
  export QUILLORA_DEV_API_URL="http://127.0.0.1:$port"
  echo "Local web API on $QUILLORA_DEV_API_URL (request log: $log)"
fi

# Not exec: the stand-in is stopped when the app ends. In the background, so that a signal ending this
# script reaches the app too, instead of leaving it running against a stopped stand-in.
"$app" "$@" &
app_pid=$!
trap 'kill -TERM "$app_pid" 2>/dev/null || true' TERM HUP INT
status=0
wait "$app_pid" || status=$?
# A signal interrupts the first wait; the second collects the app's own exit status.
if kill -0 "$app_pid" 2>/dev/null; then
  status=0
  wait "$app_pid" || status=$?
fi
exit "$status"
