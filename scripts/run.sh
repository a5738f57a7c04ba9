#!/usr/bin/env bash
# Installs what is missing, builds the tool this machine can run (the 32-bit
# Corvantis.exe where both can, else Corvantis64.exe) and starts it under Wine.
# With a display, the script returns when the window is closed. Without one,
# Xvfb is started, the window is photographed into build/screenshot.png, and
# the script prints that path and exits. On Windows the 32-bit tool simply runs.
. "$(dirname "$0")/lib.sh"

tool_of() { case "$1" in x86) echo "$BUILD/x86/Corvantis.exe" ;; x64) echo "$BUILD/x64/Corvantis64.exe" ;; esac; }
SCREENSHOT="$BUILD/screenshot.png"

case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*)
    build x86 Corvantis
    exec "$(tool_of x86)"
    ;;
esac

install_missing
check_packages
choose_archs
if [ ${#ARCHS[@]} -eq 0 ]; then
  printf 'No architecture left to run (%s).\n' "${SKIPPED[@]}" >&2
  exit 1
fi
ARCH=${ARCHS[0]}
EXE=$(tool_of "$ARCH")
build "$ARCH" Corvantis

if has_display; then
  prepare_wine "$ARCH"
  "$WINELOADER" "$EXE"
  exit 0
fi

start_display
prepare_wine "$ARCH"
"$WINELOADER" "$EXE" >/dev/null 2>&1 &
STARTED_PIDS+=($!)

# The window's X id, once Wine has mapped it with its title.
window=""
for _ in $(seq 300); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"OCX/ && /"corvantis(64)?\.exe"/ {print $1; exit}')
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
