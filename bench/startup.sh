#!/usr/bin/env bash
# Start-up, memory and idle wake-ups of quillora against the floor of a minimal Qt 6 tray program, both
# started alternately under a virtual X display with openbox and trayer.
#
# Per run and program: start to tray icon docked (seen from the X server), CPU time in the first 3 s,
# resident memory and PSS at 3 s and at 30 s with nothing opened; then one selection road (a double click
# on a word in xterm) and one popover opening (a click on the tray icon, then Escape; the floor shows a
# window of text then), the context switches over the 20 idle seconds that follow them, and resident memory
# and PSS 30 s after the opening. CPU and switches count the whole process, threads that have ended
# included (kept by quillora-startup-probe). Then one more start of each as a first launch: settings,
# data and runtime folders that do not exist yet. Prints min / median / max of each, the ratios to the
# floor, and the shared objects each program has loaded once docked.
#
# Both programs run with the same session bus address, one where no bus listens: a bus moves both start
# times by about as much as the difference being measured.
#
# With a number of favorites, quillora also starts with that many saved translations of 200-character
# texts ("quillora-favorites"), compared with the ordinary start.
#
# Usage: bench/startup.sh [--dock-only] [runs] [favorites]  (15 runs of each program by default; about
# 65 s a run, or about 8 s with --dock-only, which measures the start to the dock only)
set -euo pipefail
cd "$(dirname "$0")/.."
dock_only=0
if [ "${1:-}" = --dock-only ]; then
  dock_only=1
  shift
fi
runs=${1:-15}
favorites=${2:-0}
build=build/bench

if [ -z "${QUILLORA_IN_XVFB:-}" ]; then
  bash scripts/install-deps.sh
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$(nproc)" --target quillora quillora-hello-tray quillora-startup-probe
  export QUILLORA_IN_XVFB=1
  export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/quillora-bench-bus
  [ "$dock_only" = 1 ] && set -- --dock-only "$@"
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" bash "$0" "$@"
fi

# shellcheck source=bench/lib/favorites.sh
. bench/lib/favorites.sh
probe=$build/bench/quillora-startup-probe
floor=$build/bench/quillora-hello-tray
app=${QUILLORA_BENCH_APP:-$build/quillora}

openbox >/dev/null 2>&1 &
helpers=($!)
for _ in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
trayer --edge top --align right --widthtype request --height 24 --transparent true >/dev/null 2>&1 &
helpers+=($!)
for _ in $(seq 1 50); do
  xprop -root | grep -q '^_NET_SYSTEM_TRAY' && break
  xdotool search --classname trayer >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1

# Text to select, in an application nobody here wrote.
xterm -fn fixed -geometry 60x5+200+300 -title bench-xterm -e sh -c 'echo "morning evening"; exec sleep 100000' &
helpers+=($!)
trap 'kill ${helpers[*]} 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  xdotool search --name bench-xterm >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
xterm_window=$(xdotool search --name bench-xterm | head -n 1)
# xwininfo, not xdotool: the latter counts the window manager's frame twice. Fixed font cells are 6 x 13.
info=$(xwininfo -id "$xterm_window")
word_x=$(($(awk '/Absolute upper-left X/ { print $NF }' <<<"$info") + 20))
word_y=$(($(awk '/Absolute upper-left Y/ { print $NF }' <<<"$info") + 8))

# Each program keeps its own settings and runtime folders across the runs; one warm-up start writes the
# first-launch settings, so every measured start is an ordinary one.
scratch=$(mktemp -d -t quillora-startup.XXXXXX)
trap 'kill ${helpers[*]} 2>/dev/null || true; rm -rf "$scratch"' EXIT

env_for() {
  local dir=$scratch/$1
  mkdir -p "$dir/config" "$dir/data" "$dir/home" "$dir/runtime"
  chmod 700 "$dir/runtime"
  echo "XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data HOME=$dir/home XDG_RUNTIME_DIR=$dir/runtime"
}

# Resident and proportional memory in KiB.
memory() {
  awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } END { print r, p }' "/proc/$1/smaps_rollup"
}

results=$scratch/results
docks=$scratch/docks
: >"$results"
: >"$docks"

# The shared objects mapped by process $1, by file name.
libraries() {
  awk '$6 ~ /\.so/ { n = split($6, p, "/"); print p[n] }' "/proc/$1/maps" | sort -u
}

# Starts program $2 for run $1 through the probe; sets probe_pid, probe_out, pid, ms and icon.
start_probed() {
  probe_out=$scratch/$1.probe
  : >"$probe_out"
  env $(env_for "$1") "$probe" "$2" >"$probe_out" &
  probe_pid=$!
  for _ in $(seq 1 400); do
    [ -s "$probe_out" ] && break
    kill -0 "$probe_pid" 2>/dev/null || break
    sleep 0.05
  done
  read -r pid ms icon <"$probe_out" && [ "${ms:-0}" != -1 ] && [ -n "${icon:-}" ]
}

# "CPU-ms switches" of the whole process since its start, from the probe.
counters() {
  local lines
  lines=$(wc -l <"$probe_out")
  kill -USR1 "$probe_pid"
  for _ in $(seq 1 100); do
    [ "$(wc -l <"$probe_out")" -gt "$lines" ] && break
    sleep 0.02
  done
  tail -n 1 "$probe_out"
}

stop_probed() {
  kill "$pid" 2>/dev/null || true
  wait "$probe_pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
}

# One measured run: name, program.
run_one() {
  local name=$1 program=$2 start mem3 mem30 memOpen cpu3 sw_begin sw_end
  start=$(date +%s.%N)
  start_probed "$name" "$program" || { echo "$name: did not dock" >&2; stop_probed; return 1; }
  sleep_until() { local left; left=$(awk -v s="$start" -v t="$1" -v n="$(date +%s.%N)" 'BEGIN { d = s + t - n; print (d > 0 ? d : 0) }'); sleep "$left"; }
  sleep_until 3
  mem3=$(memory "$pid")
  libraries "$pid" >"$scratch/$name.libraries"
  cpu3=$(counters | awk '{ print $1 }')
  sleep_until 30
  mem30=$(memory "$pid")
  # One selection road, one popover opening and closing.
  xdotool mousemove "$word_x" "$word_y" click --repeat 2 --delay 80 1
  sleep_until 32.5
  xdotool mousemove --window "$icon" 4 4 click 1
  sleep 1
  xdotool key Escape
  # Off the icon: the next start's icon would otherwise appear under the pointer and be hovered.
  xdotool mousemove 10 500
  sleep_until 40
  sw_begin=$(counters | awk '{ print $2 }')
  sleep_until 60
  sw_end=$(counters | awk '{ print $2 }')
  sleep_until 62.5
  memOpen=$(memory "$pid")
  stop_probed
  echo "$name $ms $mem3 $mem30 $memOpen $((sw_end - sw_begin)) $cpu3" >>"$results"
  echo "$name $ms" >>"$docks"
  echo "$name: docked ${ms} ms, ${cpu3} ms CPU in 3 s, rss/pss at 3 s ${mem3// //} KiB, at 30 s ${mem30// //} KiB," \
    "30 s after an opening ${memOpen// //} KiB, $((sw_end - sw_begin)) switches idle"
}

# Start to the dock only: name (the folders' too), program, kind of start (used or first).
dock_one() {
  local name=$1 program=$2 kind=$3 folder=$1
  [ "$kind" = first ] && folder=$1-first-$RANDOM$RANDOM
  start_probed "$folder" "$program" || { echo "$name ($kind): did not dock" >&2; stop_probed; return 1; }
  # The start runs to its end before the next one begins.
  sleep 1
  stop_probed
  [ "$kind" = first ] && rm -rf "${scratch:?}/$folder"
  if [ "$kind" = first ]; then echo "$name-first $ms"; else echo "$name $ms"; fi >>"$docks"
  echo "$name ($kind): docked ${ms} ms"
  sleep 0.5
}

warm_up() {
  start_probed "$1" "$2" || true
  sleep 2
  stop_probed
  sleep 1
}
warm_up floor "$floor"
warm_up quillora "$app"
if [ "$favorites" -gt 0 ]; then
  env_for quillora-favorites >/dev/null
  mkdir -p "$scratch/quillora-favorites/config/Quillora/values"
  write_favorites "$scratch/quillora-favorites/config/Quillora/values/favoriteTranslations.txt" "$favorites"
  warm_up quillora-favorites "$app"
fi

echo "load average at the start: $(cut -d ' ' -f 1-3 /proc/loadavg)"
for i in $(seq 1 "$runs"); do
  echo "run $i of $runs"
  # Every other round Quillora goes first, so that neither program always starts just after the other's
  # exit and the removal of its folders.
  order=(floor quillora)
  [ $((i % 2)) = 0 ] && order=(quillora floor)
  for name in "${order[@]}"; do
    program=$floor
    [ "$name" = quillora ] && program=$app
    if [ "$dock_only" = 1 ]; then
      dock_one "$name" "$program" used || true
    else
      run_one "$name" "$program" || true
    fi
  done
  for name in "${order[@]}"; do
    program=$floor
    [ "$name" = quillora ] && program=$app
    dock_one "$name" "$program" first || true
  done
  [ "$favorites" -gt 0 ] && [ "$dock_only" = 0 ] && { run_one quillora-favorites "$app" || true; }
done

echo "load average at the end: $(cut -d ' ' -f 1-3 /proc/loadavg)"

# min / median / max of column $2 for program $1 (of file $3).
stats() {
  awk -v n="$1" '$1 == n { print $'"$2"' }' "${3:-$results}" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) { print "- - -"; exit } m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print v[1], m, v[NR] }'
}

median_of() { stats "$1" "$2" "${3:-$results}" | awk '{ print $2 }'; }

# One figure of program $4 against program $5: label, column, unit (ratio or mb), file.
row() {
  local label=$1 column=$2 unit=$3 base=${4:-floor} other=${5:-quillora} file=${6:-$results} f q
  f=$(median_of "$base" "$column" "$file"); q=$(median_of "$other" "$column" "$file")
  printf '%-32s %-26s %-26s ' "$label" "$(stats "$base" "$column" "$file")" "$(stats "$other" "$column" "$file")"
  if [ "$unit" = ratio ]; then
    # A floor of nothing (no samples, or none counted) has no ratio.
    awk -v f="$f" -v q="$q" 'BEGIN { if (f + 0 > 0 && q != "-") printf "%.2fx\n", q / f; else print "-" }'
  else
    awk -v f="$f" -v q="$q" 'BEGIN { if (f != "-" && q != "-") printf "%+.1f MB\n", (q - f) / 1024; else print "-" }'
  fi
}
echo
echo "load average: $(cut -d ' ' -f 1-3 /proc/loadavg); session bus address: $DBUS_SESSION_BUS_ADDRESS"
printf '%-32s %-26s %-26s %s\n' "figure (min median max)" "floor" "quillora" "ratio / difference of medians"
row "start to tray, used folder (ms)" 2 ratio floor quillora "$docks"
row "start to tray, first launch" 2 ratio floor-first quillora-first "$docks"
[ "$dock_only" = 1 ] && exit 0
row "RSS at 3 s (KiB)" 3 mb
row "PSS at 3 s (KiB)" 4 mb
row "RSS at 30 s, unopened (KiB)" 5 mb
row "PSS at 30 s, unopened (KiB)" 6 mb
row "RSS 30 s after opening (KiB)" 7 mb
row "PSS 30 s after opening (KiB)" 8 mb
row "switches in 20 idle s" 9 ratio
row "CPU in the first 3 s (ms)" 10 ratio
echo "(after an opening the floor has shown a window of text: the difference is quillora's own)"

if [ -s "$scratch/floor.libraries" ] && [ -s "$scratch/quillora.libraries" ]; then
  echo
  echo "shared objects mapped at 3 s (those loaded on first use after the dock included): floor $(wc -l <"$scratch/floor.libraries"), quillora $(wc -l <"$scratch/quillora.libraries")"
  echo "floor: $(tr '\n' ' ' <"$scratch/floor.libraries")"
  echo "quillora only: $(comm -13 "$scratch/floor.libraries" "$scratch/quillora.libraries" | tr '\n' ' ')"
  echo "floor only: $(comm -23 "$scratch/floor.libraries" "$scratch/quillora.libraries" | tr '\n' ' ')"
fi

if [ "$favorites" -gt 0 ]; then
  echo
  printf '%-28s %-28s %-28s %s\n' "with $favorites favorites" "quillora" "quillora-favorites" "ratio / difference of medians"
  row "start to tray (ms)" 2 ratio quillora quillora-favorites
  row "RSS at 3 s (KiB)" 3 mb quillora quillora-favorites
  row "RSS at 30 s, unopened (KiB)" 5 mb quillora quillora-favorites
  row "RSS 30 s after opening (KiB)" 7 mb quillora quillora-favorites
fi
