# Shared by the end-to-end scripts, sourced after they set `work` (their temporary folder), `pids`
# (processes to end on exit) and `fail`.

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 5; i++)); do
    if "$@"; then return 0; fi
    sleep 0.2
  done
  return 1
}

# An X server of its own on a free display, and the program's runtime and configuration folders in
# the work folder, so that nothing of the machine's desktop is used or changed.
start_display() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
  DISPLAY=:$(<"$work/display")
  export QT_QPA_PLATFORM=xcb # on the X server, even when the test run chose the offscreen platform
  export DISPLAY XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/etc-xdg"
  mkdir -m 700 -p "$XDG_RUNTIME_DIR"
}

# openbox, a real window manager, on that display.
start_openbox() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  # A loaded machine may take a while; what openbox said is shown if it never comes up.
  wait_for 30 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { cat "$work/openbox.log" >&2; fail "openbox did not start"; }
}
