#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the run need; does nothing when all are present.
set -euo pipefail
pkgs=(cmake ninja-build g++ mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      libz-mingw-w64-dev wine wine32:i386 wine64 fonts-wine fonts-wqy-microhei fonts-liberation fonts-noto-core xvfb xdotool xclip x11-utils time bc
      imagemagick googletest libgtest-dev icoutils libstb-dev zlib1g-dev liblzma-dev
      g++-multilib qemu-user-static zlib1g-dev:i386 liblzma-dev:i386 libmpg123-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
i386_format=/proc/sys/fs/binfmt_misc/qemu-i386
had_i386_format=0
[ -e "$i386_format" ] && had_i386_format=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
# Installing the emulator may register it for every 32-bit program; left so, Wine's 32-bit
# loader would look usable and every Windows test would run emulated.
if [ "$had_i386_format" -eq 0 ] && [ -e "$i386_format" ]; then echo -1 >"$i386_format" || true; fi
