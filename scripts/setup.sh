#!/usr/bin/env bash
# Installs the build and test toolchain and fetches third-party sources into third_party/ (ignored).
# Idempotent: a second run does nothing but check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stamp="$root/third_party/.setup-done-v1"
[ -f "$stamp" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
src=/etc/apt/sources.list.d/debian.sources
if [ -f "$src" ] && ! grep -q '^Types:.*deb-src' "$src"; then
  $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$src"
  need_update=1
fi
pkgs=(g++-mingw-w64-i686-posix mingw-w64-i686-dev wine wine32:i386 wine64 xvfb xauth 7zip msitools
      cmake ninja-build g++ make libgtest-dev googletest libpugixml-dev dpkg-dev imagemagick)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

mkdir -p "$root/third_party"
cd "$root/third_party"
if [ ! -d 7zip ]; then
  rm -rf 7zip.tmp && mkdir 7zip.tmp && cd 7zip.tmp
  apt-get source --download-only 7zip
  tarball=$(ls 7zip_*.orig.tar.* | head -1)
  mkdir src && tar -xf "$tarball" -C src --strip-components=0
  cd ..
  # The tarball unpacks either flat or into one folder; normalise to third_party/7zip.
  inner=$(find 7zip.tmp/src -maxdepth 2 -name C -type d | head -1)
  mv "$(dirname "$inner")" 7zip
  rm -rf 7zip.tmp
fi
if [ ! -d pugixml ]; then
  rm -rf pugixml.tmp && mkdir pugixml.tmp && cd pugixml.tmp
  apt-get source --download-only pugixml
  tarball=$(ls pugixml_*.orig.tar.* | head -1)
  mkdir src && tar -xf "$tarball" -C src
  cd ..
  inner=$(find pugixml.tmp/src -maxdepth 3 -name pugixml.cpp | head -1)
  mv "$(dirname "$(dirname "$inner")")" pugixml
  rm -rf pugixml.tmp
fi
touch "$stamp"
