# Wine settings shared by the test, demo and emulator scripts. Source it with WINEPREFIX set and
# PRODUCTS_WINDOWS_ARCH (32 by default, or 64) naming the programs it will run.
if [ "${PRODUCTS_WINDOWS_ARCH:-32}" = 64 ]; then
  # Debian's wine script starts the 32-bit loader whenever it is installed, even on a machine that
  # cannot run it: 64-bit programs go to the 64-bit loader directly, in a 64-bit prefix.
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  PRODUCTS_WINE=$WINELOADER
else
  export WINEARCH=win32
  PRODUCTS_WINE=$(type -P wine || echo /usr/bin/wine)
fi
export PRODUCTS_WINE
# Scripts say wine and wineboot; both go to the loader of this way.
wine() { "$PRODUCTS_WINE" "$@"; }
wineboot() { "$PRODUCTS_WINE" wineboot.exe "$@"; }
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts for the .NET and HTML engines, which nothing here uses.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Wine's ANSI code page follows the locale; 1252 is what the program expects.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Creates the prefix once, under a lock, since parallel first use races. Wine writes system.reg before
# its set-up is done, so readiness is our own marker, written last.
wine_prepare_prefix() {
  [ -f "$WINEPREFIX/.products-ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/.products-ready" ] && exit 0
    rm -rf "$WINEPREFIX"
    log="$WINEPREFIX.log"
    failed() { echo "error: making the Wine prefix $WINEPREFIX ($WINEARCH): $1 failed:" >&2; tail -5 "$log" | sed 's/^/  /' >&2; exit 1; }
    wineboot -i >"$log" 2>&1 || failed "wineboot -i"
    # Without a window manager every DestroyWindow waits about 2 s unless X11 windows are unmanaged.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1 || failed "setting X11 windows unmanaged"
    # Wine reads its own fonts (fonts-wine: Tahoma for dialogs, Marlett for the caption buttons) only
    # from the prefix's Fonts folder; without them captions show letters and text falls back to others.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>>"$log" || failed "copying Wine's fonts"
    wineserver -w
    rm -f "$log"
    touch "$WINEPREFIX/.products-ready"
  ) 9>"$WINEPREFIX.lock"
}

# A persistent wineserver and one idle Windows process make each later program start in ~0.1 s.
# The idle process also brings up the desktop process with its own output, so no test's output
# pipe is held open by it. Needs DISPLAY; call wine_end_session when done.
wine_start_session() {
  local idle=$1
  wine_prepare_prefix || return 1
  wineserver -p
  local ready="$WINEPREFIX/drive_c/products-idle-ready"
  rm -f "$ready"
  wine "$idle" 'C:\products-idle-ready' >/dev/null 2>&1 &
  local _
  for _ in $(seq 1 300); do [ -f "$ready" ] && return 0; sleep 0.1; done
  echo "warning: the idle Windows process did not start; programs will start slower" >&2
}

# Ends every Windows process of this prefix, and its wineserver.
wine_end_session() {
  wineserver -k 2>/dev/null || true
}
