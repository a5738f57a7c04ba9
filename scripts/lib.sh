# Shared by run.sh, test.sh and release.sh: install what is missing, find the
# architectures this machine runs, build them, prepare Wine, start the display
# and the wineserver, and stop what we started on exit.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build"
export WINEDEBUG=-all LC_ALL=C.UTF-8
PREFIX_STAMP="fonts-1"

# The wine wrapper prefers the 32-bit loader whenever wine32 is installed, so
# each architecture names its own loader.
WINE32=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64

# Each program the build runs comes from a package named here (check_packages).
PACKAGES=(
  cmake ninja-build clang-format clang-tidy
  mingw-w64 mingw-w64-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 xvfb x11-apps x11-utils imagemagick gcc libx11-dev
  cups printer-driver-cups-pdf libcups2:i386
  fonts-wine fonts-wqy-microhei
)

. "$ROOT/scripts/package_check.sh"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Per architecture: its CMake preset, its build folder and its Wine loader.
preset_of() { case "$1" in x86) echo mingw-i686 ;; x64) echo mingw-x86_64 ;; esac; }
loader_of() { case "$1" in x86) echo "$WINE32" ;; x64) echo "$WINE64" ;; esac; }

# Each architecture runs in a Wine prefix of its own, as on a 32-bit and a
# 64-bit Windows. One shared 64-bit prefix would be smaller, but Wine opens the
# real registry root for every access that names a registry view, past any
# redirection of the root: a 32-bit server registering a type library there
# (Wine writes its interfaces into both views) escapes the preview's capture,
# which a 64-bit Windows does not let happen.
use_arch() {
  export WINEPREFIX="$BUILD/$1/wineprefix" WINELOADER
  WINELOADER=$(loader_of "$1")
  case "$1" in x86) PREFIX_ARCH=win32 ;; x64) PREFIX_ARCH=win64 ;; esac
}

# Why this machine cannot run 32-bit Windows programs, or nothing when it can.
# Tried, not guessed from packages: some kernels have no 32-bit support at all.
why_no_x86() {
  local output
  if [ ! -x "$WINE32" ]; then
    echo "32-bit Wine ($WINE32) is not installed"
  elif ! output=$("$WINE32" --version 2>&1); then
    echo "this machine cannot start 32-bit programs ($WINE32: ${output##*: })"
  fi
}

# The architectures to run, in ARCHS, and in SKIPPED why any other was left
# out. CORVANTIS_ARCHS (x86, x64 or both) narrows the choice.
choose_archs() {
  local wanted="${CORVANTIS_ARCHS:-x86 x64}" arch reason
  ARCHS=() SKIPPED=()
  for arch in $wanted; do
    case "$arch" in x86 | x64) ;; *) echo "CORVANTIS_ARCHS: unknown architecture '$arch' (x86 or x64)" >&2; return 1 ;; esac
  done
  for arch in x86 x64; do
    if [[ " $wanted " != *" $arch "* ]]; then
      SKIPPED+=("$arch: left out by CORVANTIS_ARCHS=$wanted")
    elif [ "$arch" = x86 ] && reason=$(why_no_x86) && [ -n "$reason" ]; then
      SKIPPED+=("x86: $reason")
    else
      ARCHS+=("$arch")
    fi
  done
}

# build ARCH [TARGET...]: configure the architecture's tree and build it all,
# or only the targets named.
build() {
  local preset
  preset=$(preset_of "$1")
  shift
  (
    cd "$ROOT"
    cmake --preset "$preset" >/dev/null
    if [ $# -gt 0 ]; then
      cmake --build --preset "$preset" --target "$@"
    else
      cmake --build --preset "$preset"
    fi
  )
}

STARTED_PIDS=()
STARTED_WINESERVERS=()
stop_started() {
  local prefix
  for prefix in "${STARTED_WINESERVERS[@]}"; do WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; done
  local pid
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_started EXIT

has_display() { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }

# A display for the windows and dialogs: the caller's, or a fresh Xvfb.
start_display() {
  if has_display; then return 0; fi
  local fifo
  fifo=$(mktemp -u) && mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  STARTED_PIDS+=($!)
  local number
  if ! read -r -t 30 number <"$fifo"; then
    rm -f "$fifo"; echo "Xvfb did not start" >&2; return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$number"
}

# The print and page-setup tests need a default printer: a cups-pdf queue on
# the running cupsd, or on one we start (and stop on exit). 32-bit Wine reads
# CUPS through libcups2:i386.
PRINT_QUEUE=CorvantisPDF
start_printing() {
  if ! lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; then
    local root=()
    [ "$(id -u)" = 0 ] || root=(sudo)
    "${root[@]}" mkdir -p /run/cups
    "${root[@]}" cupsd -f >/dev/null 2>&1 &
    STARTED_PIDS+=($!)
    local tries=0
    until lpstat -r 2>/dev/null | grep -qx 'scheduler is running'; do
      tries=$((tries + 1))
      if [ $tries -gt 100 ]; then echo "cupsd did not start" >&2; return 1; fi
      sleep 0.1
    done
  fi
  if ! lpstat -v "$PRINT_QUEUE" >/dev/null 2>&1; then
    local ppd
    ppd=$(lpinfo -m | awk 'tolower($1) ~ /cups-pdf.*_opt/ {print $1; exit}')
    as_root lpadmin -p "$PRINT_QUEUE" -E -v cups-pdf:/ -m "${ppd:?no cups-pdf driver found}"
  fi
  as_root lpadmin -d "$PRINT_QUEUE"
}

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
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" font view views=(32)
  for font in marlett.ttf tahoma.ttf; do
    [ -e "$fonts/$font" ] || ln -s "/usr/share/wine/fonts/$font" "$fonts/$font"
  done
  # On a 64-bit prefix, 32-bit programs read HKLM\Software through its 32-bit view.
  [ "$PREFIX_ARCH" = win64 ] && views=(64 32)
  for view in "${views[@]}"; do
    for font in Tahoma 'MS Shell Dlg'; do
      "$WINELOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$font" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f /reg:$view >/dev/null 2>&1
    done
  done
  local metrics='HKCU\Control Panel\Desktop\WindowMetrics'
  "$WINELOADER" reg add "$metrics" /v CaptionFont /t REG_BINARY /d "$(logfont bc020000)" /f >/dev/null 2>&1
  "$WINELOADER" reg add "$metrics" /v MessageFont /t REG_BINARY /d "$(logfont 90010000)" /f >/dev/null 2>&1
}

# prepare_wine ARCH: the architecture's prefix inside its build folder, with no
# Mono or Gecko prompts, no crash dialog that could block a run, unmanaged
# windows (no window manager runs) and fonts that show the tool's Chinese
# texts; and a persistent wineserver for it. Leaves the architecture's Wine
# settings exported.
prepare_wine() {
  use_arch "$1"
  local stamp="$PREFIX_ARCH $PREFIX_STAMP"
  if [ "$(cat "$WINEPREFIX/.corvantis-ready" 2>/dev/null)" != "$stamp" ]; then
    echo "Preparing the $PREFIX_ARCH Wine prefix in $WINEPREFIX"
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    WINEARCH=$PREFIX_ARCH WINEDLLOVERRIDES="mscoree,mshtml=" "$WINELOADER" wineboot -i >/dev/null 2>&1
    local reg="$WINEPREFIX/../wine-settings.reg"
    printf '%s\r\n' 'REGEDIT4' '' \
      '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' >"$reg"
    "$WINELOADER" regedit /S "$reg" >/dev/null 2>&1
    prepare_fonts
    wineserver -w
    echo "$stamp" >"$WINEPREFIX/.corvantis-ready"
  fi
  # A server already running for the prefix (a test run's) is left as it is.
  if wineserver -p >/dev/null 2>&1; then STARTED_WINESERVERS+=("$WINEPREFIX"); fi
  # Start Wine's own services now, detached from our output: started by the
  # first test instead, they would hold CTest's output pipe open and hang it.
  "$WINELOADER" wineboot >/dev/null 2>&1
}
