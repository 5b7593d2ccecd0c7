#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package that building, running and
# testing Telvane needs. Does nothing when all of them are already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6core6 libqt6widgets6 libqt6gui6
    libgtest-dev libgmock-dev libbenchmark-dev
    libphonenumber-dev libicu-dev
    clang libclang-rt-14-dev clang-format
    g++-mingw-w64-x86-64 googletest wine wine64 python3
    xvfb xauth socat fonts-ipafont xdotool imagemagick openbox x11-apps x11-utils
    dpkg-dev lintian desktop-file-utils appstream librsvg2-bin python3
    qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools
    libmosquitto-dev mosquitto mosquitto-clients dunst dbus dbus-x11
    nlohmann-json3-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
