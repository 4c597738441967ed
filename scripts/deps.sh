#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Mokuna need, when any is missing.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 libasound2 xvfb xauth x11-utils xdotool imagemagick
  fonts-ipafont-gothic fonts-ipafont-mincho
  dovecot-pop3d dovecot-imapd python3 nsis openssl zip unzip iproute2 util-linux locales
)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # With their recommended packages: Xvfb needs the keyboard compiler and Wine its fonts from them.
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
