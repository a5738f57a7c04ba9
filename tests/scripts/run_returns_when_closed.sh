#!/usr/bin/env bash
# scripts/run.sh with a display: it returns once the tool's window is closed,
# and neither starts a second instance nor takes a picture.
# Arguments: the architecture (x86 or x64), its build folder, its Wine loader
# and the tool's file name.
set -euo pipefail
arch=$1 build=$2 loader=$3 tool=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
output=$(mktemp)
trap 'rm -f "$output"' EXIT

tool_windows() { xwininfo -root -tree 2>/dev/null | grep -c '"corvantis\(64\)\?\.exe"' || true; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local until=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.2
  done
}

CORVANTIS_ARCHS=$arch "$root/scripts/run.sh" >"$output" 2>&1 &
run=$!
shown() { [ "$(tool_windows)" -gt 0 ] || ! kill -0 $run 2>/dev/null; }
if ! wait_for 60 shown || [ "$(tool_windows)" -eq 0 ]; then
  echo "the tool's window never appeared"; cat "$output"; kill $run 2>/dev/null; exit 1
fi

# Closed as a user closes it: taskkill without /f sends the window WM_CLOSE.
WINEPREFIX="$build/wineprefix" WINELOADER="$loader" "$loader" taskkill /im "$tool" >/dev/null 2>&1

if ! wait_for 30 bash -c "! kill -0 $run 2>/dev/null"; then
  echo "run.sh went on after the window was closed"; cat "$output"; kill $run 2>/dev/null; exit 1
fi
status=0
wait $run || status=$?
[ "$status" -eq 0 ] || { echo "run.sh ended with $status"; cat "$output"; exit 1; }
if grep -q 'screenshot' "$output" || [ "$(tool_windows)" -gt 0 ]; then
  echo "run.sh started the tool a second time"; cat "$output"; exit 1
fi
echo "run.sh returned once the window was closed"
