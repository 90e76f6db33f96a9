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

# shellcheck source=bench/lib/windows.sh
. bench/lib/windows.sh
helpers=()
start_desktop

sandbox=$(mktemp -d -t quillora-popover.XXXXXX)
mkdir -p "$sandbox"/{config,data,home} && mkdir -m 700 "$sandbox/runtime"
XDG_CONFIG_HOME=$sandbox/config XDG_DATA_HOME=$sandbox/data XDG_RUNTIME_DIR=$sandbox/runtime HOME=$sandbox/home \
  "$build/quillora" >/dev/null 2>&1 &
app=$!
trap 'kill $app ${helpers[*]} 2>/dev/null || true; rm -rf "$sandbox"' EXIT

if ! icon=$(tray_icon_centre "$app"); then
  echo "The tray icon did not dock." >&2
  exit 1
fi
sleep 1
# shellcheck disable=SC2086
"$build/bench/quillora-popover-probe" $icon "$runs"
