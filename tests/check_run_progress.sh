#!/usr/bin/env bash
# scripts/run shows its build's progress: the build's lines reach the terminal (stderr) before
# the program starts, and the program's own output stays apart on stdout. The build and the
# program are stand-ins in a copy of the scripts folder, so nothing is built here.
# Usage: check_run_progress.sh <path of scripts/run>
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts" "$work/build/bin"
cp "$1" "$work/scripts/run"
cat >"$work/scripts/build" <<'STUB'
#!/usr/bin/env bash
echo "[1/2] Building CXX object shell/UnitMain.cpp.o"
echo "[2/2] Linking CXX executable bin/rastrel"
STUB
cat >"$work/build/bin/rastrel" <<'STUB'
#!/usr/bin/env bash
echo "rastrel $*"
STUB
chmod +x "$work/scripts/build" "$work/build/bin/rastrel"

"$work/scripts/run" drawing.pnc >"$work/out" 2>"$work/err"
fail=0
for line in "[1/2] Building CXX object" "[2/2] Linking CXX executable"; do
  if ! grep -qF "$line" "$work/err"; then
    echo "the build's progress line '$line' is not shown"
    fail=1
  fi
done
if [ "$(cat "$work/out")" != "rastrel drawing.pnc" ]; then
  echo "the program's output is not alone on stdout:"
  cat "$work/out"
  fail=1
fi
exit $fail
