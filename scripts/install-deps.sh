#!/usr/bin/env bash
# Installs what the two builds and the tests need, on Debian 12 as root.
# Quick when everything is there already: apt is asked only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb xauth x11-utils imagemagick fonts-wqy-microhei locales
  chrony ntpsec-ntpdate libfaketime iproute2 util-linux zip unzip wixl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # The 32-bit program runs under the 32-bit half of Wine, an i386 package.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# chrony's package starts a system daemon that may set the host clock; the
# tests run their own chronyd on loopback. When this script installed it,
# the daemon the package started is stopped again; a chrony the machine
# already had is its owner's and stays as it was.
if [[ " ${missing[*]} " == *" chrony "* ]]; then
  if command -v systemctl >/dev/null 2>&1 && [ -d /run/systemd/system ]; then
    systemctl disable --now chrony >/dev/null 2>&1 || true
  elif command -v service >/dev/null 2>&1; then
    service chrony stop >/dev/null 2>&1 || true
  fi
fi

# Wine's ANSI code page follows LANG, and only for a locale that exists.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  echo "install-deps: generating zh_CN.UTF-8"
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
