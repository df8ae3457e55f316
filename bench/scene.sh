#!/usr/bin/env bash
# Builds the scene benchmark (or the one named, e.g. bench_view) in release mode and runs it on a
# virtual display (Mesa's software renderer under xvfb-run), the same GL the tests use.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:-bench_scene}
build="$root/build-bench"
"$root/scripts/install-deps"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRASTREL_TESTS=OFF \
  -DRASTREL_BENCH=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target "$name" >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/$name"
