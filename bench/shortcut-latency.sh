#!/usr/bin/env bash
# Shortcut latency under a virtual X display with a window manager:
#   hotkeys    hot-key latency (XTest press to handler, median and p99 of 200 presses) and idle wake-ups
#   translate  the two translate shortcuts pressed as a person presses them (held 0.1-0.2 s) against
#              mousepad and quillora-dev-api: from the key's release to the request and on
# Usage: bench/shortcut-latency.sh [hotkeys|translate|all] [build-dir]      (all by default)
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-all}
build=${2:-build/bench}
case "$which" in
  hotkeys) targets=(quillora-hotkey-bench) ;;
  translate) targets=(quillora-shortcut-bench) ;;
  all) targets=(quillora-hotkey-bench quillora-shortcut-bench) ;;
  *) echo "usage: $0 [hotkeys|translate|all] [build-dir]" >&2; exit 2 ;;
esac

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  if [ ! -d "$build" ]; then
    cmake --preset bench -B "$build" >/dev/null
  fi
  cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
  export QUILLORA_IN_XVFB=1
  # A session bus of its own, as a desktop has: the accessibility bus that a capture asks first is
  # started on it, and answers as quickly as on a desktop instead of timing out.
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" dbus-run-session -- bash "$0" "$@"
fi
openbox >/dev/null 2>&1 &
wm_pid=$!
trap 'kill $wm_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
status=0
for target in "${targets[@]}"; do
  # The shortcut bench sits beside the modules it loads.
  program="$build/bench/$target"
  [ -x "$program" ] || program="$build/$target"
  "$program" 2> >(grep -v -e dconf-WARNING -e '^$' >&2) || status=1
done
exit $status
