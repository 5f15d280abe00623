#!/usr/bin/env bash
# Start-up extraction under Wine: a setup whose resource archive (setup.res) is a 20 MB
# archive of 3000 files is run silently; the time is compared with the same setup
# carrying a tiny resource archive, so the difference is what unpacking costs at start.
#
# Environment: ZEV_NATIVE_BIN (zevc; default build/native-release/bin),
# ZEV_WIN32_BIN (zevstub.exe, zev.lib; default build/win32/bin, built when missing),
# ZEV_BENCH_WORK (scratch folder and Wine prefix; default build/bench-wine).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
native_bin="${ZEV_NATIVE_BIN:-$root/build/native-release/bin}"
win32_bin="${ZEV_WIN32_BIN:-$root/build/win32/bin}"
work="${ZEV_BENCH_WORK:-$root/build/bench-wine}"
runs="${ZEV_BENCH_RUNS:-3}"

for tool in wine wineserver wineboot 7zz python3; do
  if ! command -v "$tool" > /dev/null; then
    echo "wine_startup_extract: $tool is not installed, nothing measured"
    exit 0
  fi
done
if [[ ! -x "$native_bin/zevc" ]]; then
  echo "wine_startup_extract: $native_bin/zevc is missing, nothing measured"
  exit 0
fi
if [[ ! -f "$win32_bin/zevstub.exe" || ! -f "$win32_bin/zev.lib" ]]; then
  (cd "$root" && cmake --preset win32 > /dev/null &&
     cmake --build --preset win32 -j "${JOBS:-2}" --target zevstub zev_archive_dll > /dev/null)
fi

export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY
mkdir -p "$work"
rm -rf "$work/source" "$work/big" "$work/small"
if [[ ! -d "$WINEPREFIX/drive_c" ]]; then
  wineboot -i > /dev/null 2>&1
fi
wineserver -p 60 || true  # already running is fine
trap 'wineserver -k > /dev/null 2>&1 || true' EXIT

# The same kind of content as the native extraction benchmark: 3000 text-like files.
python3 - "$work/source" <<'PYTHON'
import os, random, sys
root = sys.argv[1]
rng = random.Random(11)
words = ["setup", "install", "component", "file", "registry", "value", "folder", "data"]
size = (20 << 20) // 3000
for i in range(3000):
    folder = os.path.join(root, "dir%d" % (i % 40))
    os.makedirs(folder, exist_ok=True)
    parts, length = [], 0
    while length < size:
        word = rng.choice(words) + ("\n" if rng.randrange(7) == 0 else " ")
        if rng.randrange(13) == 0:
            word += str(rng.getrandbits(31))
        parts.append(word)
        length += len(word)
    with open(os.path.join(folder, "file%d.txt" % i), "w") as out:
        out.write("".join(parts))
PYTHON

script='@product-code {2B4D6F81-3C5E-4A7B-9D1F-0E2C4A6B8D13}
@revision-code {7A9C1E3F-5B7D-4F02-8E4A-6C8E0A2C4E57}
@title "Start-up Bench"
Comment "start-up only"'
for name in big small; do
  mkdir -p "$work/$name"
  printf '%s\n' "$script" > "$work/$name/setup.zev"
  "$native_bin/zevc" build "$work/$name/setup.zev" -o "$work/$name/out" --stub "$win32_bin/zevstub.exe" \
    --archive-library "$win32_bin/zev.lib" > /dev/null
done
rm -f "$work/big/out/setup.res"
(cd "$work/source" && 7zz a -bd -t7z "$work/big/out/setup.res" . > /dev/null)
bytes=$(stat -c %s "$work/big/out/setup.res")

# Best of several runs, in seconds.
best_time() {
  local best=""
  for _ in $(seq "$runs"); do
    local start end took
    start=$(date +%s.%N)
    if ! wine "$1" /s > /dev/null 2>&1; then
      echo "wine_startup_extract: $1 failed" >&2
      return 1
    fi
    end=$(date +%s.%N)
    took=$(echo "$end - $start" | bc)
    if [[ -z "$best" ]] || (( $(echo "$took < $best" | bc) )); then best=$took; fi
  done
  echo "$best"
}

small=$(best_time "$work/small/out/setup.exe")
big=$(best_time "$work/big/out/setup.exe")
extract=$(echo "$big - $small" | bc)
printf 'start-up under Wine, resource archive of 3000 files (%d bytes): %.3f s; with a tiny archive %.3f s; extraction %.3f s\n' \
  "$bytes" "$big" "$small" "$extract"
rm -rf "$work/source" "$work/big" "$work/small"
