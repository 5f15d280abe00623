#!/usr/bin/env bash
# Runs every benchmark: each executable of the optimised native build's bench folder
# (bench/*.cpp), then the Wine start-up extraction script. Each prints its own figures.
# Not part of `make test`: timings depend on the machine and its load.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin="${ZEV_BENCH_BIN:-$root/build/native-release/bin}"
status=0
for source in "$root"/bench/*.cpp; do
  name=$(basename "$source" .cpp)
  if [[ ! -x "$bin/$name" ]]; then
    echo "== $name: not built ($bin/$name)"
    status=1
    continue
  fi
  echo "== $name"
  "$bin/$name" || status=1
done
echo "== wine_startup_extract"
ZEV_NATIVE_BIN="${ZEV_NATIVE_BIN:-$bin}" bash "$root/bench/wine_startup_extract.sh" || status=1
exit $status
