# Sourced by the package checks (tools/check-deb, tools/check-windows). One end-to-end check of
# the window on a real X display (Xvfb): it starts, the keyboard opens the connect panel and
# presses "Connect Device" (the port chosen is the stored one), the window identifies and
# uploads the simulator's transmitter and polls it, and a screenshot is saved. The simulator's
# request log (va5vivi-sim --log) is the witness of what the window sent.
#
#   window_connects SIM_LOG SHOT.png TIMEOUT_S program [args...]
#
# WINDOW_PORT_KEYS: keys pressed on the port list before "Connect Device" (xdotool key names,
# for example End for the last port); none by default, which keeps the stored port.
#
# Needs DISPLAY (xvfb-run), xdotool and ImageMagick's import. Returns non-zero with a reason.

# Waits until the request log holds at least `count` lines of `command N`.
_window_wait_for() {
  local log=$1 command=$2 count=$3 deadline=$4
  while ((SECONDS < deadline)); do
    if (($(grep -c " command $command (" "$log" 2>/dev/null || true) >= count)); then
      return 0
    fi
    sleep 0.5
  done
  return 1
}

# Ends a process and everything it started (a tracer's or a loader's program with it).
_window_end_tree() {
  local child
  for child in $(pgrep -P "$1" 2>/dev/null); do _window_end_tree "$child"; done
  kill "$1" 2>/dev/null || true
}

window_connects() {
  local log=$1 shot=$2 timeout=$3
  shift 3
  local deadline=$((SECONDS + timeout))
  "$@" &
  local app=$!
  local wid=""
  while ((SECONDS < deadline)) && [[ -z "$wid" ]]; do
    if ! kill -0 "$app" 2>/dev/null; then
      echo "window check: $1 ended before its window showed" >&2
      return 1
    fi
    wid=$(xdotool search --onlyvisible --name '^VA5VIVI' 2>/dev/null | head -1 || true)
    [[ -n "$wid" ]] || sleep 0.5
  done
  if [[ -z "$wid" ]]; then
    echo "window check: no window titled VA5VIVI within ${timeout} s" >&2
    _window_end_tree "$app"
    return 1
  fi
  # Let the window lay itself out and take the keyboard focus, then: "Connect" (focused when
  # the window opens), and in the connect panel Tab to the port list, Tab to "Connect Device".
  sleep 2
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  xdotool key space
  sleep 1
  # shellcheck disable=SC2086
  xdotool key Tab ${WINDOW_PORT_KEYS:-} Tab space
  local status=0
  if ! _window_wait_for "$log" 0 1 "$deadline"; then
    echo "window check: the window sent no identify (command 0)" >&2
    status=1
  elif ! _window_wait_for "$log" 3 3 "$deadline"; then
    echo "window check: the window did not poll (command 3) three times after connecting" >&2
    status=1
  fi
  # A second for the display to show the last poll.
  sleep 1
  import -window root "$shot" || status=1
  _window_end_tree "$app"
  wait "$app" 2>/dev/null || true
  if ((status)); then
    echo "window check: the simulator's request log:" >&2
    cat "$log" >&2
  fi
  return "$status"
}

# Wine's serial port map lists only the ports Wine made itself from this machine's /dev/ttyS*,
# and is rebuilt when its server starts; on Windows a driver would enter the modem's port there.
# Once the server runs (WINEPREFIX): COM1 (this machine's first real port) is taken out of the
# map and its name pointed at /dev/null, COM3 (never answering, listed before COM5) and COM5
# (linked to PTY) are entered.
wine_ports_for_the_window() {
  local pty=$1 port
  wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Serial0' /f >/dev/null 2>&1 || true
  ln -sfn /dev/null "$WINEPREFIX/dosdevices/com1"
  ln -sfn /dev/null "$WINEPREFIX/dosdevices/com3"
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com5"
  for port in 3 5; do
    wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "\\Device\\Serial$port" /d "COM$port" /f \
      >/dev/null 2>&1 || return 1
  done
}
