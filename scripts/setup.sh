#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, skipping
# whatever is already there. Safe to run again and again.
#
# 64-bit Wine is always installed: the x86_64 build's Wine tests run on every
# machine. 32-bit Wine (wine32, from the i386 architecture) only where this
# machine can execute 32-bit programs; elsewhere it could not start at all.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in cmake ninja-build g++ clang libclang-rt-14-dev googletest zlib1g-dev python3 \
         g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev \
         wine64 xvfb xauth ccache; do
  have_pkg "$p" || need+=("$p")
done
runs_32bit=""
if "$ROOT/scripts/can-run-32bit.sh"; then
  runs_32bit=1
  have_pkg wine32:i386 || need+=(wine32:i386)
fi
[ ${#need[@]} -eq 0 ] && exit 0

SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
if [ -n "$runs_32bit" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${need[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
