#!/usr/bin/env bash
# Selection latency and idle wake-ups, under a virtual X display with a window manager.
#
#   bench/selection-latency.sh [build-dir]        the selection monitor alone: mouse-up to callback,
#                                                 median of 50 double clicks, and idle wake-ups
#   bench/selection-latency.sh --app [gestures]   the real quillora binary with a word double-clicked in
#                                                 xterm: last button release to the floating bar mapped,
#                                                 median and 99th percentile (50 gestures by default);
#                                                 QUILLORA_BENCH_APP names another binary to measure
set -euo pipefail
cd "$(dirname "$0")/.."
mode=monitor
if [ "${1:-}" = "--app" ]; then
  mode=app
  shift
fi
build=build/bench
if [ "$mode" = monitor ] && [ -n "${1:-}" ]; then build=$1; fi

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  if [ ! -d "$build" ]; then
    cmake --preset bench -B "$build" >/dev/null
  fi
  if [ "$mode" = app ]; then
    cmake --build "$build" --target quillora quillora-selection-probe -j "$(nproc)"
  else
    cmake --build "$build" --target quillora-selection-bench -j "$(nproc)"
  fi
  export QUILLORA_IN_XVFB=1
  flag=()
  if [ "$mode" = app ]; then flag=(--app); fi
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" bash "$0" "${flag[@]}" "$@"
fi
openbox >/dev/null 2>&1 &
pids=($!)
trap 'kill ${pids[*]} 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

if [ "$mode" = monitor ]; then
  "$build/bench/quillora-selection-bench"
  exit
fi

scratch=$(mktemp -d -t quillora-selection.XXXXXX)
trap 'kill ${pids[*]} 2>/dev/null || true; rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config" "$scratch/data" "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/runtime \
  "${QUILLORA_BENCH_APP:-$build/quillora}" 2>"${QUILLORA_BENCH_APP_LOG:-$scratch/app.log}" &
app_pid=$!
pids+=("$app_pid")

# The fixed font has 6 x 13 pixel cells behind a 2 pixel border: the two words' centres are known.
xterm -fn fixed -geometry 40x3+300+300 -title bench-xterm -e sh -c 'echo "morning evening"; exec sleep 100000' &
pids+=($!)
for _ in $(seq 1 50); do
  xdotool search --name bench-xterm >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 2
# xwininfo, not xdotool: the latter counts the window manager's frame twice.
info=$(xwininfo -id "$(xdotool search --name bench-xterm | head -n 1)")
X=$(awk '/Absolute upper-left X/ { print $NF }' <<<"$info")
Y=$(awk '/Absolute upper-left Y/ { print $NF }' <<<"$info")
"$build/bench/quillora-selection-probe" "$app_pid" $((X + 2 + 3 * 6)) $((Y + 8)) $((X + 2 + 11 * 6)) $((Y + 8)) "${1:-50}"
