# Sourced by the bench scripts that drive the real binary under a virtual display.

# find_window PID TEST: waits up to 10 s for a visible window of PID for which the shell test TEST holds,
# with X, Y, WIDTH and HEIGHT set to its geometry; prints "id x y width height" and returns 0, or returns 1.
find_window() {
  local pid=$1 test=$2 w
  for _ in $(seq 1 100); do
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$w")"
      if eval "$test"; then
        echo "$w $X $Y $WIDTH $HEIGHT"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# The centre of the tray icon of PID, as "x y".
tray_icon_centre() {
  local id x y width height
  read -r id x y width height < <(find_window "$1" '[ "$WIDTH" -le 48 ] && [ "$Y" -lt 48 ]') || return 1
  echo "$((x + width / 2)) $((y + height / 2))"
}

# Starts openbox and a tray on the current display; their pids go into the array `helpers`.
start_desktop() {
  openbox >/dev/null 2>&1 &
  helpers+=($!)
  sleep 1
  trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
  helpers+=($!)
  sleep 1
}
