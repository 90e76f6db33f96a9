#!/usr/bin/env bash
# Screenshots of one part of the interface in light and dark appearance, taken under Xvfb with openbox
# and a tray. Look at them after a change to that part.
#
# Usage: tests/screenshots/take.sh PART [build dir] [output dir]
#   actions      the translator's alternatives, examples, rewrite menu and a rewrite in progress and done
#   floatingbar  the floating bar, its options menu and the translation popover
#   history      the history and favorites sheets in the popover (empty, a few rows, long texts)
#   menubar      the tray popover with the translator (empty, translating, translated, error, picker)
#   settings     the settings window's tabs, the application picker and the reset alert
#   shell        the onboarding window (both permissions, one missing) and the about panel
#   shortcuts    the Shortcuts tab (empty, recording, recorded, an alert, one another program holds)
set -euo pipefail
cd "$(dirname "$0")/../.."

part=${1:-}
case "$part" in
  actions) suite=TranslatorActionsScreenshots ;;
  floatingbar) suite=FloatingBarScreenshots ;;
  history) suite=HistoryScreenshots ;;
  menubar) suite=MenuBarScreenshots ;;
  settings) suite=SettingsScreenshots ;;
  shell) suite=ShellScreenshots ;;
  shortcuts) suite=ShortcutsScreenshots ;;
  *)
    sed -n '5,13p' "$0" >&2
    exit 2
    ;;
esac

build=${2:-build/dev}
out=${3:-$build/screenshots/$part}
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
  QUILLORA_SCREENSHOT_DIR='$out' '$tests' --gtest_filter='$suite.*'
  status=\$?
  kill \$wm \$tray
  exit \$status"
echo "Screenshots in $out:"
ls "$out"
