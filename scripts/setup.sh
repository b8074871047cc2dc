#!/usr/bin/env bash
# Installs what the clock needs to build, run and test, from Debian's or
# Ubuntu's packages. Safe to run again: when everything is there it only
# checks and returns.
set -euo pipefail

packages=(
  # building
  cmake ninja-build g++ pkg-config libgtest-dev clang-format
  # the Linux desktop program and its services
  qt6-base-dev qt6-translations-l10n fonts-wqy-microhei
  libpulse-dev pulseaudio pulseaudio-utils
  dbus python3-dbus python3-gi libx11-dev libxext-dev libxcb1-dev
  # testing the desktop program for real
  xvfb xauth xdotool x11-utils trayer imagemagick
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

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -qq update
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
