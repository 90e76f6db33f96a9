#!/usr/bin/env bash
# Screenshots of the settings window's Shortcuts tab (empty, recording, recorded, an alert)
# in light and dark appearance, taken under Xvfb with openbox.
# Usage: tests/screenshots/shortcuts.sh [build dir] [output dir]
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/dev}
out=${2:-$build/screenshots/shortcuts}
if [ ! -x "$build/tests/quillora_screenshots" ]; then
  cmake --preset dev -B "$build" >/dev/null
  cmake --build "$build" --target quillora_screenshots
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
tests=$(cd "$build/tests" && pwd)/quillora_screenshots

xvfb-run -a -s "-screen 0 1600x1000x24" bash -c "
  openbox >/dev/null 2>&1 & wm=\$!
  sleep 1
  QUILLORA_SCREENSHOT_DIR='$out' '$tests' --gtest_filter='ShortcutsScreenshots.*'
  status=\$?
  kill \$wm
  exit \$status"
echo "Screenshots in $out:"
ls "$out"
