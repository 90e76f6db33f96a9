#!/usr/bin/env bash
# Builds the optimised app and starts it. When the local web API stand-in is built, it is started on a
# free loopback port and the app is pointed at it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  echo "Quillora needs an X11 display, and DISPLAY is not set." >&2
  echo "To try it without a desktop: xvfb-run -a -s '-screen 0 1600x1000x24' scripts/run.sh" >&2
  exit 1
fi

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

app=build/release/quillora
api=build/release/tools/dev-api/quillora-dev-api
api_pid=""
conf="${XDG_CONFIG_HOME:-$HOME/.config}/Quillora/Quillora.conf"

# Rewrites the apiBaseURL line of the [General] section (empty value: removes it).
set_api_base_url() {
  mkdir -p "$(dirname "$conf")"
  touch "$conf"
  awk -v url="$1" '
    BEGIN { done = 0 }
    /^\[/ { if (section == "General" && !done && url != "") { print "apiBaseURL=" url; done = 1 }
             section = substr($0, 2, length($0) - 2) }
    section == "General" && /^apiBaseURL=/ { next }
    { print }
    END { if (!done && url != "") { if (section != "General") print "[General]"; print "apiBaseURL=" url } }
  ' "$conf" >"$conf.tmp" && mv "$conf.tmp" "$conf"
}

cleanup() {
  if [ -n "$api_pid" ]; then
    kill "$api_pid" 2>/dev/null || true
    set_api_base_url ""
  fi
}
trap cleanup EXIT

if [ -x "$api" ]; then
  salt=$(grep -E '^QUILLORA_CLIENT_SALT:' build/release/CMakeCache.txt | cut -d= -f2-)
  log=$(mktemp -t quillora-dev-api.XXXXXX.log)
  portfile=$(mktemp -t quillora-dev-api.XXXXXX.port)
  "$api" --port 0 --salt "$salt" --log "$log" >"$portfile" &
  api_pid=$!
  for _ in $(seq 1 50); do
    [ -s "$portfile" ] && break
    sleep 0.1
  done
  port=$(grep -Eo '[0-9]+' "$portfile" | head -n 1)
  if [ -z "$port" ]; then
    echo "The local web API did not start." >&2
    exit 1
  fi
  # The app reads its web API address from the "apiBaseURL" user default; point it at the stand-in
  # for this run and remove the entry again when the app exits.
  set_api_base_url "http://127.0.0.1:$port"
  echo "Local web API on http://127.0.0.1:$port (request log: $log)"
fi

"$app" "$@"
