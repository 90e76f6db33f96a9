#!/usr/bin/env bash
# The large end of the favorites on the optimised binary, under a virtual X display with openbox and
# trayer, the translations answered by quillora-dev-api. Per count of favorites (10,000 and 100,000 by
# default) and run, one start of quillora with that many saved translations of 200-character texts, then:
#   first opening   the tray icon clicked 1 s after it docked: click to the popover's first painted frame
#   sheet           the header's favorites button: click to the sheet's first rows as they look when done
#   translation     two words typed into the input, then Translate: click to the translation shown (the
#                   "search" of the favorites: the favorite button asks whether the pair is saved)
#   toggle          the favorite button: click to its symbol changed, once to add and once to remove
#   quit            SIGTERM to the process's end
# Beside each, the longest time the UI thread left X events unread (its longest answer to _NET_WM_PING,
# sent to the tray icon one ping at a time), and the bytes written to storage (/proc/PID/io write_bytes)
# by a toggle, a translation and the quit. Prints min / median / max over the runs and the load average.
#
# With QUILLORA_BENCH_HISTORY=N each start also finds N records in the history (as another program may
# leave them), which the translation adds to; the resident memory after the quit's toggles is printed.
#
# Usage: bench/favorites-latency.sh [runs] [counts...]      (5 runs of 10000 and 100000 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
counts=("${@:-10000 100000}")
# shellcheck disable=SC2206
counts=(${counts[*]})
build=build/bench
history=${QUILLORA_BENCH_HISTORY:-0}

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  bash scripts/install-deps.sh
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j 4 --target quillora quillora-dev-api quillora-popover-probe \
    quillora-favorites-probe
  export QUILLORA_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" bash "$0" "$runs" "${counts[@]}"
fi

# shellcheck source=bench/lib/windows.sh
. bench/lib/windows.sh
# shellcheck source=bench/lib/favorites.sh
. bench/lib/favorites.sh
probe=$build/bench/quillora-favorites-probe
popover_probe=$build/bench/quillora-popover-probe
helpers=()
start_desktop
scratch=$(mktemp -d -t quillora-favorites.XXXXXX)
trap 'kill ${helpers[*]} 2>/dev/null || true; rm -rf "$scratch"' EXIT

salt=$(grep -E '^QUILLORA_CLIENT_SALT:' "$build/CMakeCache.txt" | cut -d= -f2-)
QUILLORA_DEV_API_SALT="$salt" "$build/tools/dev-api/quillora-dev-api" --port 0 --log "$scratch/api.log" \
  >"$scratch/port" &
helpers+=($!)
until [ -s "$scratch/port" ] || ! kill -0 "${helpers[-1]}" 2>/dev/null; do
  sleep 0.1
done
QUILLORA_DEV_API_URL="http://127.0.0.1:$(grep -Eo '[0-9]+' "$scratch/port" | head -n 1)"
export QUILLORA_DEV_API_URL

# Places in the translator popover, from its top-left corner: the header's favorites button, the back
# button of a sheet, the first card of the favorites sheet, the input, the Translate button, the output
# text, and the favorite button of the action bar with its symbol.
favorites_button=(322 40)
back_button=(31 40)
first_card=(20 90 340 110)
input=(200 192)
translate_button=(269 327)
output_area=(42 367 300 30)
favorite_button=(112 552)
favorite_symbol=(102 542 20 20)

at() { echo "$((px + $1)) $((py + $2))"; }
region() { echo "$((px + $1)) $((py + $2)) $3 $4"; }
written() { awk '/^write_bytes:/ { print $2 }' "/proc/$1/io"; }

# step PICTURE X Y RX RY RW RH SETTLE_MS TIMEOUT_MS (inside run_one): a click at (X, Y). The calibration
# run saves the region's look once it settled as PICTURE; a measured run times the click to that look and
# sets ms and stall.
step() {
  ms=-1 stall=0
  if [ "$run" = calibrate ]; then
    xdotool mousemove "$2" "$3" click 1
    "$probe" settle "$4" "$5" "$6" "$7" "$scratch/$1" "$8" "$9" >/dev/null
    import -window root "$scratch/$1.png"
  else
    read -r _ ms _ stall _ < <("$probe" click "$2" "$3" "$4" "$5" "$6" "$7" "$scratch/$1" "$icon_window" "$9" || true)
  fi
}
measured() { [ "$run" != calibrate ]; }

results=$scratch/results
: >"$results"
record() { echo "$1 $2 $3" >>"$results"; }

# shellcheck disable=SC2016
# One start: count, run ("calibrate" takes the reference pictures instead of measuring).
run_one() {
  local count=$1 run=$2 dir=$scratch/$1 app icon_window icon line ms stall before pinger
  mkdir -p "$dir/config/Quillora/values" "$dir/data" "$dir/home"
  [ -d "$dir/runtime" ] || mkdir -m 700 "$dir/runtime"
  write_favorites "$dir/config/Quillora/values/favoriteTranslations.txt" "$count"
  rm -f "$dir/config/Quillora/values/"*.journal "$dir/config/Quillora/values/translationHistory.txt"
  [ "$history" -eq 0 ] || write_favorites "$dir/config/Quillora/values/translationHistory.txt" "$history"
  # The redirection below empties the file only once the runner has started, which may be after the
  # first look at it: the previous run's pid must not be there to be read.
  rm -f "$scratch/pid"
  XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_RUNTIME_DIR=$dir/runtime HOME=$dir/home \
    "$probe" run "$scratch/quit-bytes" "$build/quillora" >"$scratch/pid" 2>/dev/null &
  local runner=$!
  # The runner writes the pid as soon as the program started, or ends.
  until [ -s "$scratch/pid" ] || ! kill -0 "$runner" 2>/dev/null; do
    sleep 0.1
  done
  app=$(cat "$scratch/pid" 2>/dev/null || true)
  [ -n "$app" ] || { echo "$count: did not start" >&2; wait "$runner" || true; return 1; }
  read -r icon_window _ < <(find_window "$app" '[ "$WIDTH" -le 48 ] && [ "$Y" -lt 48 ]') ||
    { echo "$count: did not dock" >&2; kill "$app" 2>/dev/null; wait "$runner" || true; return 1; }
  icon=$(tray_icon_centre "$app")
  sleep 1

  # The first opening, while the favorites may still be loading.
  "$probe" ping "$icon_window" 3000 >"$scratch/ping" &
  pinger=$!
  # shellcheck disable=SC2086
  line=$("$popover_probe" $icon 1 | grep '^run 0:' || true)
  wait "$pinger"
  ms=$(awk '{ print $(NF - 1) }' <<<"$line")
  stall=$(awk '{ print $2 }' "$scratch/ping")
  ! measured || record "$count-first-opening" "${ms:--1}" "$stall"
  sleep 0.5

  # shellcheck disable=SC2086
  xdotool mousemove $icon click 1
  local px py
  read -r _ px py _ < <(find_window "$app" '[ "$WIDTH" -eq 400 ]')
  sleep 1
  # shellcheck disable=SC2046
  step "$count-sheet" $(at "${favorites_button[@]}") $(region "${first_card[@]}") 3000 60000
  ! measured || record "$count-sheet" "$ms" "$stall"
  # shellcheck disable=SC2046
  xdotool mousemove $(at "${back_button[@]}") click 1
  sleep 1

  # A translation: a text typed into the input, then the Translate button.
  # shellcheck disable=SC2046
  xdotool mousemove $(at "${input[@]}") click 1
  sleep 0.3
  before=$(written "$app")
  "$probe" ping "$icon_window" 1500 >"$scratch/ping" &
  pinger=$!
  xdotool type "good morning"
  wait "$pinger"
  stall=$(awk '{ print $2 }' "$scratch/ping")
  local typing=$stall
  # shellcheck disable=SC2046
  step "$count-translated" $(at "${translate_button[@]}") $(region "${output_area[@]}") 1500 20000
  ! measured ||
    record "$count-translation" "$ms" "$(awk -v a="$typing" -v b="$stall" 'BEGIN { print (a > b ? a : b) }')"
  sleep 1.5
  ! measured || record "$count-translation-bytes" "$(($(written "$app") - before))" 0

  for what in add remove; do
    before=$(written "$app")
    # shellcheck disable=SC2046
    step "$count-$what" $(at "${favorite_button[@]}") $(region "${favorite_symbol[@]}") 1000 10000
    ! measured || record "$count-toggle" "$ms" "$stall"
    sleep 1.5
    ! measured || record "$count-toggle-bytes" "$(($(written "$app") - before))" 0
  done

  ! measured || record "$count-memory" "$(awk '/^VmRSS:/ { print int($2 / 1024) }' "/proc/$app/status")" 0
  before=$(written "$app")
  local quit_start
  quit_start=$(date +%s%N)
  kill -TERM "$app"
  wait "$runner" || true
  ! measured ||
    record "$count-quit" "$((($(date +%s%N) - quit_start) / 1000000))" "$(($(cat "$scratch/quit-bytes") - before))"
}

echo "load average at the start: $(cut -d ' ' -f 1-3 /proc/loadavg)"
for count in "${counts[@]}"; do
  run_one "$count" calibrate || { echo "$count: calibration failed" >&2; continue; }
  [ -n "${QUILLORA_FAVORITES_SHOTS:-}" ] && cp "$scratch/$count-"*.png "$QUILLORA_FAVORITES_SHOTS/" 2>/dev/null
  for run in $(seq 1 "$runs"); do
    echo "$count favorites, run $run of $runs"
    run_one "$count" "$run" || true
  done
done
echo "load average at the end: $(cut -d ' ' -f 1-3 /proc/loadavg)"

# min / median / max of column $2 for figure $1.
stats() {
  awk -v n="$1" '$1 == n { print $'"$2"' }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) { print "- - -"; exit } m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print v[1], m, v[NR] }'
}
echo
printf '%-40s %-26s %s\n' "figure (min median max)" "ms to the visible change" "longest UI-thread stall (ms)"
for count in "${counts[@]}"; do
  for what in first-opening sheet translation toggle; do
    printf '%-40s %-26s %s\n' "$count favorites, $what" "$(stats "$count-$what" 2)" "$(stats "$count-$what" 3)"
  done
  printf '%-40s %-26s %s\n' "$count favorites, quit" "$(stats "$count-quit" 2)" "bytes: $(stats "$count-quit" 3)"
  printf '%-40s %s\n' "$count favorites, bytes by a toggle" "$(stats "$count-toggle-bytes" 2)"
  printf '%-40s %s\n' "$count favorites, bytes by a translation" "$(stats "$count-translation-bytes" 2)"
  printf '%-40s %s\n' "$count favorites, resident MB before quit" "$(stats "$count-memory" 2)"
done
