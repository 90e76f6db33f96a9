#!/usr/bin/env bash
# Wake-ups and CPU of the real binary while the tray translator is open: idle with the text cursor
# blinking in its input, then while a sentence is typed into it. Under a virtual X display with openbox
# and trayer; the popover is opened by a click on the tray icon.
#
# Wake-ups are the voluntary context switches of all the process's threads (each sleep that ends in a
# wake-up is one; switches forced by other busy processes are not counted); CPU is the time on CPU of all
# its threads (/proc/PID/task/*/schedstat). A thread that ends during a span takes
# its share with it: the count of such threads is printed beside each figure.
#
# Usage: bench/translator-idle.sh [runs] [idle seconds]      (3 runs of 20 s by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
seconds=${2:-20}
build=build/bench
text="good morning to everyone here"

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  bash scripts/install-deps.sh
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j 3 --target quillora
  export QUILLORA_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" bash "$0" "$@"
fi

# shellcheck source=bench/lib/windows.sh
. bench/lib/windows.sh
helpers=()
start_desktop
scratch=$(mktemp -d -t quillora-translator-idle.XXXXXX)
trap 'kill ${helpers[*]} 2>/dev/null || true; rm -rf "$scratch"' EXIT

# Per thread: "tid switches cpu-ns", one line each.
threads() {
  local task
  for task in /proc/"$1"/task/*; do
    [ -r "$task/status" ] || continue
    awk -v t="${task##*/}" '/^voluntary_ctxt_switches:/ { n += $2 } END { printf "%s %d ", t, n }' \
      "$task/status" 2>/dev/null || continue
    awk '{ print $1 }' "$task/schedstat" 2>/dev/null || echo 0
  done
}

# Switches, CPU ns and vanished threads between two snapshots.
delta() {
  awk 'FNR == NR { s[$1] = $2; c[$1] = $3; next }
       { seen[$1] = 1; n += $2 - s[$1]; t += $3 - c[$1] }
       END { gone = 0; for (k in s) if (!(k in seen)) gone++; print n, t, gone }' "$1" "$2"
}

results=$scratch/results
: >"$results"
for run in $(seq 1 "$runs"); do
  sandbox=$scratch/run$run
  mkdir -p "$sandbox"/{config,data,home} && mkdir -m 700 "$sandbox/runtime"
  XDG_CONFIG_HOME=$sandbox/config XDG_DATA_HOME=$sandbox/data XDG_RUNTIME_DIR=$sandbox/runtime \
    HOME=$sandbox/home "$build/quillora" >/dev/null 2>&1 &
  app=$!
  if ! icon=$(tray_icon_centre "$app"); then
    echo "The tray icon did not dock." >&2
    kill "$app" 2>/dev/null || true
    exit 1
  fi
  sleep 4
  # shellcheck disable=SC2086
  xdotool mousemove $icon click 1
  if ! find_window "$app" '[ "$WIDTH" -eq 400 ]' >/dev/null; then
    echo "The popover did not open." >&2
    kill "$app" 2>/dev/null || true
    exit 1
  fi
  # Away from the popover, so no hover repaints; then let the opening settle.
  xdotool mousemove 10 500
  sleep 3
  [ -n "${QUILLORA_IDLE_SCREENSHOT:-}" ] && import -window root "$QUILLORA_IDLE_SCREENSHOT.$run.png"

  threads "$app" >"$scratch/a"
  sleep "$seconds"
  threads "$app" >"$scratch/b"
  read -r idle_switches idle_ns idle_gone < <(delta "$scratch/a" "$scratch/b")

  start=$(date +%s.%N)
  xdotool type --delay 120 "$text"
  sleep 1
  threads "$app" >"$scratch/c"
  typed=$(awk -v s="$start" -v n="$(date +%s.%N)" 'BEGIN { printf "%.1f", n - s }')
  read -r type_switches type_ns type_gone < <(delta "$scratch/b" "$scratch/c")
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true

  awk -v s="$seconds" -v w="$idle_switches" -v c="$idle_ns" -v g="$idle_gone" -v k="${#text}" \
    -v tw="$type_switches" -v tc="$type_ns" -v tg="$type_gone" -v ts="$typed" -v r="$run" 'BEGIN {
      printf "run %d: idle %.2f wake-ups/s, %.3f ms CPU/s (%d threads ended); typing %d keys in %s s: %.0f wake-ups, %.2f ms CPU, %.3f ms a key (%d threads ended)\n",
        r, w / s, c / 1e6 / s, g, k, ts, tw, tc / 1e6, tc / 1e6 / k, tg
    }'
  echo "$idle_switches $idle_ns $type_ns" | awk -v s="$seconds" -v k="${#text}" '{ print $1 / s, $2 / 1e6 / s, $3 / 1e6 / k }' >>"$results"
done

median() {
  awk -v c="$1" '{ print $c }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f (min %.3f, max %.3f)", m, v[1], v[NR] }'
}
echo
echo "translator open and idle, wake-ups a second: $(median 1)"
echo "translator open and idle, ms CPU a second:   $(median 2)"
echo "typing, ms CPU a keystroke:                  $(median 3)"
