#!/usr/bin/env bash
# Installs what building, testing and running Quilla needs on Debian 12 (only
# what is missing). Run as root or through sudo. fonts-wqy-microhei: many
# captions and messages are Chinese; without a CJK font they show as boxes.
# lld: links the test programs several times faster than the default linker;
# ninja: builds the test tree with less overhead than make.
set -euo pipefail
pkgs=(g++ clang lld cmake make ninja-build pkg-config git qt6-base-dev libgl-dev libusb-1.0-0-dev
      sdcc
      googletest libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev
      binutils srecord xvfb xauth fonts-wqy-microhei gcc-avr binutils-avr avr-libc
      gputils)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
