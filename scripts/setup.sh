#!/usr/bin/env bash
# Installs every Debian package Orvex needs to build, run and test. Idempotent: when everything is
# there it only checks and returns. Runs as root, or through sudo.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg62-turbo-dev
    libfontconfig-dev libxcb1-dev # fontconfig read ahead at start-up; the start-up mark's X round trip
    libwayland-dev # whether a Wayland compositor offers a keyboard
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    # run: fonts with Windows metrics, the virtual display for machines without one
    fonts-liberation fonts-dejavu-core fonts-wine
    xvfb xauth xdotool imagemagick
    # tests and benchmarks: real peers and tools
    iproute2 iputils-ping dnsmasq-base nginx-light curl python3 python3-xlrd
    iputils-tracepath mtr-tiny nftables # the route tracer's peers and its test network's rules
    php-cli
    qt6-base-private-dev # window tests switch Qt's accessibility on as a screen reader would
    python3-pyatspi dbus-daemon at-spi2-core # the accessibility tree read over AT-SPI
    weston qt6-wayland # the windows as a client of a headless Wayland compositor
    qt6ct # a desktop font set through Qt's platform theme
    desktop-file-utils appstream dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
as_root apt-get update -qq
as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
