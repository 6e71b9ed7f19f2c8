#!/usr/bin/env bash
# Installs what building and testing KDAutoUpdate needs on Debian 12 (run as root, or with sudo).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates ccache
  qt6-base-dev libxcb1-dev qt6-httpserver-dev qt6-webengine-dev qt6-websockets-dev libqt6opengl6-dev
  libpugixml-dev libgumbo-dev libsodium-dev libzstd-dev zlib1g-dev
  clang libclang-rt-14-dev clang-tidy
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  curl xvfb xauth
  dbus-daemon python3-dbus python3-gi gir1.2-glib-2.0 libglib2.0-bin systemd
  dpkg-dev file xdg-utils
  nginx-light wrk
  fonts-dejavu-core
)
# --windows: the cross tool chain (mingw-w64, widl), wine 8 to run what it builds, and wixl and
# msibuild (msitools) for the Windows Installer package.
if [ "${1:-}" = "--windows" ]; then
  packages=(
    cmake ninja-build googletest xvfb xauth
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-tools wine wine64 libwine-dev wixl msitools tinyproxy python3
  )
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
