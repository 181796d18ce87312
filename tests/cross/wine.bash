# wine.bash — runs the Windows build under wine (sourced by the cross scripts).
# Each Windows build folder keeps its own wine prefix, so a test never reads
# or changes the user's ~/.wine; the first start creates it (about ten seconds).

# win32_prepare FOLDER : uses FOLDER/wine as the prefix, creating it when new.
win32_prepare() {
  export WINEPREFIX=$1/wine WINEARCH=win32 WINEDEBUG=-all
  # No Mono or Gecko: the show needs neither, and nothing may be downloaded.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    wineboot --init >/dev/null 2>&1 </dev/null
    wineserver --wait
  fi
}

# win32_start_services : starts wine's server and background services now,
# detached from every pipe, and keeps them 30 s past the last program. Else
# the first program that a runner such as CTest starts would spawn them with
# the runner's output pipe, which then never closes.
win32_start_services() {
  wineserver -p30 2>/dev/null || true   # fails when one already runs: then it is kept
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}

# win32_wine PROGRAM ARGUMENTS... : runs a Windows program, returns its status.
win32_wine() {
  wine "$@"
}
