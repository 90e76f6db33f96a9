#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quillora needs.
# Idempotent: packages already present are skipped, and the package lists are only
# refreshed when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git ca-certificates
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-qpa-plugins qt6-svg-dev qt6-multimedia-dev
  qt6-httpserver-dev qt6-websockets-dev qt6-l10n-tools libqt6svg6 qt6-image-formats-plugins
  # audio decoding and output behind Qt Multimedia
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  # language detection
  libcld2-dev
  # X11
  libx11-dev libx11-xcb-dev libxcb1-dev libxcb-xinput-dev libxcb-xtest0-dev libxcb-keysyms1-dev libxcb-xfixes0-dev libxcb-res0-dev
  libxi-dev libxtst-dev libxkbcommon-dev libxkbcommon-x11-dev libxcb-xkb-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # a real display for tests: server, window manager, tray, drivers, screenshots
  xvfb xauth x11-utils x11-xkb-utils xkb-data xdotool xclip openbox trayer imagemagick fonts-dejavu-core
  # other window managers, whose frames differ from openbox's
  icewm fluxbox xfwm4
  # X clients nobody here wrote, for the end-to-end roads
  xterm mousepad tk chromium firefox-esr libreoffice-writer libreoffice-gtk3
  # a session bus with the accessibility bus on it, as a desktop session has
  dbus-daemon at-spi2-core
  # process lists for the run-script test
  procps
  # a sound server of the tests' own (a null sink) for speech, and what many desktops bring along that the
  # audio stack then loads: the bad plugins set, whose OpenAL sink pulls in libopenal1
  pulseaudio pulseaudio-utils libopenal1 gstreamer1.0-plugins-bad
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
