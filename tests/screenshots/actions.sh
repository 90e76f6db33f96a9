#!/usr/bin/env bash
# Screenshots of the translator's actions (alternatives and examples with their popovers, the rewrite
# menu, a rewrite in progress and done) in light and dark appearance, under Xvfb with openbox and a tray.
# Usage: tests/screenshots/actions.sh [build dir] [output dir]
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/dev}
out=${2:-$build/screenshots/actions}
if [ ! -x "$build/tests/quillora_screenshots" ]; then
  cmake --preset dev -B "$build" >/dev/null
  cmake --build "$build" --target quillora_screenshots
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
tests=$(cd "$build/tests" && pwd)/quillora_screenshots

xvfb-run -a -s "-screen 0 1600x1000x24" bash -c "
  openbox >/dev/null 2>&1 & wm=\$!
  trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 & tray=\$!
  sleep 1
  QUILLORA_SCREENSHOT_DIR='$out' '$tests' --gtest_filter='TranslatorActionsScreenshots.*'
  status=\$?
  kill \$wm \$tray
  exit \$status"
echo "Screenshots in $out:"
ls "$out"
