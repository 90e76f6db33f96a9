#!/usr/bin/env bash
# Latency of the translate shortcuts against mousepad and quillora-dev-api, under a virtual X display with
# a window manager. Usage: bench/shortcut-latency.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
if [ ! -d "$build" ]; then
  cmake --preset bench -B "$build" >/dev/null
fi
cmake --build "$build" --target quillora-shortcut-bench -j "$(nproc)"
program="$build/bench/quillora-shortcut-bench"

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  export QUILLORA_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" bash "$0" "$@"
fi
openbox >/dev/null 2>&1 &
wm_pid=$!
trap 'kill $wm_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
"$program" 2> >(grep -v -e dconf-WARNING -e '^$' >&2)
