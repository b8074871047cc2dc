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
  # checking the packages
  appstream desktop-file-utils unzip
  # fuzzing
  clang-14 libclang-rt-14-dev
  # the Windows program: cross-built with MinGW-w64, tested under Wine
  g++-mingw-w64-x86-64-posix wine64 wine locales
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

# Wine shows Chinese only in a Chinese locale.
ensure_locale() {
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    echo "setup: generating the zh_CN.UTF-8 locale"
    "${sudo[@]}" sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen ||
      echo 'zh_CN.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo[@]}" locale-gen >/dev/null
  fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -qq update
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
ensure_locale
