#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail
PACKAGES=(build-essential cmake ccache pkg-config qtbase5-dev libqt5serialport5-dev qtmultimedia5-dev
    libqt5multimedia5-plugins gstreamer1.0-plugins-good libqt5sql5-sqlite libmodbus-dev xvfb xauth
    imagemagick sox socat trayer fonts-liberation2 qttranslations5-l10n desktop-file-utils
    shared-mime-info libxml2-utils poppler-utils
    libmosquitto-dev qtkeychain-qt5-dev mosquitto mosquitto-clients openssl sqlite3 libsystemd-dev systemd)
missing=()
for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
