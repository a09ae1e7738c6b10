#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, skipping
# whatever is already there. Safe to run again and again.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in cmake ninja-build g++ clang libclang-rt-14-dev googletest zlib1g-dev \
         g++-mingw-w64-i686 libz-mingw-w64-dev wine wine32:i386 xvfb xauth python3; do
  have_pkg "$p" || need+=("$p")
done
[ ${#need[@]} -eq 0 ] && exit 0

SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${need[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
