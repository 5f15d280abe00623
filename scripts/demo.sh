#!/usr/bin/env bash
# Builds the example product, installs it silently under Wine, shows what it
# installed, then removes it again. Run through `make demo` (which builds first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/demo"
prefix="$work/prefix"
setup="$work/setup"
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

say() { printf '\n==> %s\n' "$*"; }

say "Building the example product with zevc"
rm -rf "$setup"
"$root/build/native/bin/zevc" build "$root/examples/hello/setup.zev" -o "$setup"
( cd "$root/examples/hello/payload" && 7zz a -bd -bso0 "$setup/payload.7z" . )
ls -l "$setup"

if [ ! -f "$prefix/system.reg" ]; then
  say "Creating a 64-bit Wine prefix (once)"
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1
fi
wineserver -p 60 >/dev/null 2>&1 || true

target="$prefix/drive_c/Program Files (x86)/Hello World"
log="$work/install.log"
say "Installing silently: setup.exe /s /l=..."
set +e
wine "$setup/setup.exe" /s "/l=$(winepath -w "$log" 2>/dev/null)"
code=$?
set -e
echo "setup.exe exited with code $code"
[ -f "$log" ] && { echo "Setup log:"; iconv -f UTF-16LE -t UTF-8 "$log" | sed 's/^/    /'; }
[ "$code" -eq 0 ] || { echo "The installation failed."; exit 1; }

say "What it installed in C:\\Program Files (x86)\\Hello World"
( cd "$target" && find . -type f | sort | while read -r f; do echo "--- $f"; cat "$f"; done )

say "Removing it again: setup.exe /s MODE=REMOVE"
set +e
wine "$setup/setup.exe" /s MODE=REMOVE
code=$?
set -e
echo "setup.exe exited with code $code"
left=$(find "$target" -type f 2>/dev/null | wc -l)
echo "Files left in the target folder: $left"
wineserver -k >/dev/null 2>&1 || true
[ "$code" -eq 0 ] && [ "$left" -eq 0 ] || { echo "The removal failed."; exit 1; }
say "Done."
