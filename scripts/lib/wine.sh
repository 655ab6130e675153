# Sourced by scripts that run Windows programs under wine, headless:
#   source scripts/lib/wine.sh
#   wine_start build-windows/wine   # the prefix; wine_stop runs at exit
# A private prefix per build keeps the user's ~/.wine untouched and gives each
# build its own server, so that stopping one never kills another's tests. The
# server is started up front and kept alive, which spares every test program
# wine's start-up: one test takes milliseconds rather than seconds.

wine_start() {
  export WINEPREFIX
  WINEPREFIX="$(mkdir -p "$1" && cd "$1" && pwd)"
  export WINEDEBUG=-all
  export WINEARCH=win64
  # Headless: no windows, and no offer to install Mono or Gecko.
  unset DISPLAY WAYLAND_DISPLAY
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
  trap wine_stop EXIT
  wineserver -p </dev/null >/dev/null 2>&1
  # wineboot also starts wine's own services, which stay as long as the
  # server does; started here with nothing of ours open, so that they never
  # hold a pipe that a caller (ctest, a shell pipeline) waits to see closed.
  if [ ! -f "$WINEPREFIX/.initialised" ]; then
    wine wineboot --init </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.initialised"
  else
    wine wineboot </dev/null >/dev/null 2>&1
  fi
}

wine_stop() {
  wineserver -k 2>/dev/null || true
}
