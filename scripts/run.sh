#!/usr/bin/env bash
# Installs what is missing, builds the tool, and starts it under Wine. With a
# display, the tool runs until its window is closed. Without one, Xvfb is
# started, the window is photographed into build/screenshot.png, and the
# script prints that path and exits. On Windows the exe simply runs.
. "$(dirname "$0")/lib.sh"

EXE="$BUILD/Corvantis.exe"
SCREENSHOT="$BUILD/screenshot.png"

case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*)
    cmake --preset mingw-i686 >/dev/null && cmake --build --preset mingw-i686 --target Corvantis
    exec "$EXE"
    ;;
esac

install_missing
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 --target Corvantis

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  prepare_wine
  wine "$EXE"
fi

start_display
prepare_wine
wine "$EXE" >/dev/null 2>&1 &
STARTED_PIDS+=($!)

# The window's X id, once Wine has mapped it with its title.
window=""
for _ in $(seq 300); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"OCX/ && /"corvantis.exe"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "The window did not appear within 30 seconds." >&2
  exit 1
fi
sleep 1.5  # the first clock tick, one second after load
xwd -id "$window" -silent | convert xwd:- "$SCREENSHOT"
echo "$SCREENSHOT"
