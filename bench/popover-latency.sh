#!/usr/bin/env bash
# Tray click to the translator popover's first painted frame, on the optimised binary under a virtual X
# display with openbox and trayer: the probe clicks the tray icon through XTest and watches the X server.
# Usage: bench/popover-latency.sh [runs]      (20 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
build=build/bench

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$(nproc)" --target quillora quillora-popover-probe
  export QUILLORA_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" bash "$0" "$@"
fi

openbox >/dev/null 2>&1 &
helpers=($!)
sleep 1
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
helpers+=($!)
sleep 1

sandbox=$(mktemp -d -t quillora-popover.XXXXXX)
mkdir -p "$sandbox"/{config,data,home} && mkdir -m 700 "$sandbox/runtime"
XDG_CONFIG_HOME=$sandbox/config XDG_DATA_HOME=$sandbox/data XDG_RUNTIME_DIR=$sandbox/runtime HOME=$sandbox/home \
  "$build/quillora" >/dev/null 2>&1 &
app=$!
trap 'kill $app ${helpers[*]} 2>/dev/null || true; rm -rf "$sandbox"' EXIT

icon=""
for _ in $(seq 1 100); do
  for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ "$WIDTH" -le 48 ] && [ "$Y" -lt 48 ]; then icon="$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"; fi
  done
  [ -n "$icon" ] && break
  sleep 0.1
done
if [ -z "$icon" ]; then
  echo "The tray icon did not dock." >&2
  exit 1
fi
sleep 1
# shellcheck disable=SC2086
"$build/bench/quillora-popover-probe" $icon "$runs"
