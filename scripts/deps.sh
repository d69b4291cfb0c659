#!/usr/bin/env bash
# Installs the Debian packages that building, testing, fuzzing and running Velmora need, when any is
# missing. Every other script calls this one.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang libclang-rt-14-dev clang-tidy
    libgtest-dev libgmock-dev libbenchmark-dev libical-dev libicu-dev libcurl4-openssl-dev libxml2-dev
    radicale xandikos libsecret-1-dev gnome-keyring python3-caldav
    qt6-base-dev qt6-qpa-plugins libgl-dev libx11-dev
    fonts-ipafont-mincho fonts-ipafont-gothic fontconfig poppler-utils
    xvfb xauth xdotool imagemagick trayer
    openbox wmctrl x11-utils xclip faketime python3 dbus dunst python3-icalendar python3-dateutil
    fcitx5 fcitx5-mozc fcitx5-frontend-qt6 weston qt6-wayland
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    dpkg-dev lintian desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
