#!/usr/bin/env bash
# Installs every Debian 12 package the build, the program and the tests need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev
  libcurl4-openssl-dev libsqlite3-dev libjsoncpp-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev libzip-dev libudev-dev libpng-dev libjpeg-dev zlib1g-dev
  libcpp-httplib-dev libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev
  adb aapt android-framework-res python3 python3-pyftpdlib curl aria2
  librsvg2-bin xvfb xauth libxtst-dev openbox fonts-noto-cjk unicode-data iproute2 util-linux zip unzip
  umockdev libumockdev-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
