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

# Glyphs for the window's Chinese texts, and Wine's own title-bar symbols.
PACKAGES+=(fonts-wqy-microhei fonts-wine)
install_missing
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 --target Corvantis

# Wine draws its title-bar buttons with Marlett, and Tahoma has no Chinese
# glyphs. The prefix gets Wine's Marlett and Tahoma (not its bold face: bold
# drawn from the regular face keeps the link), a link from Tahoma and from the
# dialog font to a CJK font, and captions and message boxes in the dialog font
# with the default character set, the only one that linking serves (a LOGFONTW
# of -11 pixels, bold or regular).
logfont() {
  local face
  face=$(printf 'MS Shell Dlg' | iconv -f ascii -t utf-16le | od -An -tx1 | tr -d ' \n')
  printf 'f5ffffff%024d%s0000000100000000%s%0*d' 0 "$1" "$face" $((128 - ${#face})) 0
}
prepare_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" font
  for font in marlett.ttf tahoma.ttf; do
    [ -e "$fonts/$font" ] || ln -s "/usr/share/wine/fonts/$font" "$fonts/$font"
  done
  for font in Tahoma 'MS Shell Dlg'; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$font" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
  local metrics='HKCU\Control Panel\Desktop\WindowMetrics'
  wine reg add "$metrics" /v CaptionFont /t REG_BINARY /d "$(logfont bc020000)" /f >/dev/null 2>&1
  wine reg add "$metrics" /v MessageFont /t REG_BINARY /d "$(logfont 90010000)" /f >/dev/null 2>&1
}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  prepare_wine
  prepare_fonts
  exec wine "$EXE"
fi

start_display
prepare_wine
prepare_fonts
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
