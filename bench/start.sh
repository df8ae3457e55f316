#!/usr/bin/env bash
# The start benchmark (bench_start) in a release build on a virtual display (xvfb-run, Mesa's
# software renderer), the same GL the tests use.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
"$root/scripts/install-deps"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRASTREL_TESTS=OFF \
  -DRASTREL_BENCH=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target bench_start stroke_fonts cursors icons >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/bench_start"
