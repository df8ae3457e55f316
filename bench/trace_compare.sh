#!/usr/bin/env bash
# Compares doru with potrace on a generated A4 line-art page at 300 and 600 dpi: wall time,
# peak memory, pixel error of the result filled back into pixels, and vertex counts (potrace's
# curves flattened to within the same error threshold E). Then the same page degraded as a
# scan and despeckled: error against the clean page for the scan itself, doru and potrace (at
# its defaults). Then centre lines of generated stroke pictures against their true centre
# lines, for doru and the plain thinning skeleton.
# BEFORE=path/to/doru adds an older doru to every table (e.g. one built from main).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
E=${E:-0.1}
"$root/scripts/install-deps"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRASTREL_TESTS=OFF \
  -DRASTREL_BENCH=ON >/dev/null
cmake --build "$build" -j 3 --target doru bench_tracer >/dev/null
helper="$build/bench/bench_tracer"
doru="$build/bin/doru"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Median of five runs for time (the machine is shared); the peak memory of the same runs.
measure() {
  local out times=() peak=0
  for _ in 1 2 3 4 5; do
    out=$("$helper" --run "$@")
    times+=("${out% *}")
    peak=$(( ${out#* } > peak ? ${out#* } : peak ))
  done
  printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)" "$peak"
}

# Centre-line time over outline time, the two run in turns so that both see the same load on
# a shared machine: the median of five such ratios.
cline_ratio() {
  local outline cline ratios=()
  for _ in 1 2 3 4 5; do
    outline=$("$helper" --run "$doru" -et "$E" -fi 1 -ct 90 -outfile "$work/r.dxf" "$1")
    cline=$("$helper" --run "$doru" -et "$E" -fi 1 -ct 90 -cline -outfile "$work/r.dxf" "$1")
    ratios+=("$(awk -v c="${cline% *}" -v o="${outline% *}" 'BEGIN { print c / o }')")
  done
  printf '%s\n' "${ratios[@]}" | sort -g | sed -n 3p
}

printf '%-6s %-12s %9s %10s %11s %12s %10s %9s\n' dpi tracer wall_s peak_MB "B/pixel" pixel_error vertices polylines
for dpi in 300 600; do
  page="$work/page$dpi.bmp"
  "$helper" --page "$dpi" "$page"
  pixels=$(( dpi == 300 ? 2480 * 3508 : 4961 * 7016 ))
  row() {
    local name=$1 out=$2; shift 2
    read -r wall peak < <(measure "$@")
    read -r err _ verts polys < <("$helper" --score "$page" "$out" "$E")
    awk -v d="$dpi" -v n="$name" -v w="$wall" -v p="$peak" -v px="$pixels" -v e="$err" -v v="$verts" -v l="$polys" \
      'BEGIN { printf "%-6s %-12s %9.3f %10.1f %11.2f %12.5f %10d %9d\n", d, n, w, p / 1024, p * 1024 / px, e, v, l }'
  }
  row doru "$work/d$dpi.dxf" "$doru" -et "$E" -fi 1 -ct 90 -outfile "$work/d$dpi.dxf" "$page"
  row doru-cline "$work/c$dpi.dxf" "$doru" -et "$E" -fi 1 -ct 90 -cline -outfile "$work/c$dpi.dxf" "$page"
  if [ -n "${BEFORE:-}" ]; then
    row doru-before "$work/b$dpi.dxf" "$BEFORE" -et "$E" -fi 1 -ct 90 -outfile "$work/b$dpi.dxf" "$page"
    row before-cline "$work/bc$dpi.dxf" "$BEFORE" -et "$E" -fi 1 -ct 90 -cline -outfile "$work/bc$dpi.dxf" "$page"
  fi
  row potrace "$work/p$dpi.svg" potrace -b svg -u 1000 -t 0 -o "$work/p$dpi.svg" "$page"
  printf '%-6s centre line / outline wall time: %.2f (goal below 1.5)\n' "$dpi" "$(cline_ratio "$page")"
done
echo "pixel_error: differing pixels per ink pixel (centre lines are not outlines: their error is not comparable)"

# The scanned page: every tracer on the same despeckled bitmap; error against the clean page.
echo
clean="$work/clean.bmp" scan="$work/scan.bmp"
scan_error=$("$helper" --scan 300 "$clean" "$scan")
printf '%-12s %9s %14s %10s\n' tracer wall_s error_vs_clean vertices
printf '%-12s %9s %14.5f %10s\n' "scan itself" - "$scan_error" -
scan_row() {
  local name=$1 out=$2; shift 2
  read -r wall _ < <(measure "$@")
  read -r _ err verts _ < <("$helper" --score "$scan" "$out" "$E" "$clean")
  printf '%-12s %9.3f %14.5f %10d\n' "$name" "$wall" "$err" "$verts"
  echo "$wall $err" >"$work/$name.row"
}
scan_row doru "$work/sd.dxf" "$doru" -et "$E" -fi 1 -ct 90 -outfile "$work/sd.dxf" "$scan"
if [ -n "${BEFORE:-}" ]; then
  scan_row doru-before "$work/sb.dxf" "$BEFORE" -et "$E" -fi 1 -ct 90 -outfile "$work/sb.dxf" "$scan"
fi
scan_row potrace "$work/sp.svg" potrace -b svg -u 1000 -o "$work/sp.svg" "$scan"
read -r dw de <"$work/doru.row"
read -r pw pe <"$work/potrace.row"
awk -v dw="$dw" -v de="$de" -v pw="$pw" -v pe="$pe" -v se="$scan_error" 'BEGIN {
  printf "doru / potrace: time %.2f (goal at most 0.5), error %.3f (goal at most 1); doru / scan error %.3f (goal below 1)\n", dw / pw, de / pe, de / se }'

# Centre lines against the true ones, with the plain skeleton of the same pictures.
before_arg=()
if [ -n "${BEFORE:-}" ]; then before_arg=("before=$BEFORE"); fi
"$helper" --cline "$work" "${before_arg[@]}" "doru=$doru"

# The goal tables, doru first (the goals are its), then the older doru when given.
"$helper" --scan-table "$work" "doru=$doru" "${before_arg[@]}"
"$helper" --cline-sets "$work" "doru=$doru" "${before_arg[@]}"
