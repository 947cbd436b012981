#!/usr/bin/env bash
# The real app on a private Xvfb display: beside a tray its panel asks to be
# off the taskbar and the pager and on every workspace, asks picom for no
# shadow of its own, and takes and drops its shadow margin at once as a
# compositor starts and stops while it shows.
#   check-panel-x11.sh APP SELECTION_OWNER
set -euo pipefail
app=$1
owner=$2
for tool in Xvfb xprop xwininfo; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is not installed: skipped"
    exit 0
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1366x768x24 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

"$owner" _NET_SYSTEM_TRAY_S0 60 &
pids+=($!)
sleep 0.3
"$app" >"$work/app.log" 2>&1 &
pids+=($!)

window=
for _ in $(seq 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Varnholt Control"/ {print $1; exit}')
  [ -n "$window" ] && width=$(xwininfo -id "$window" | awk '/Width:/ {print $2}') &&
    [ "$width" -gt 1 ] && break
  sleep 0.1
done
fail=0
expect() {
  if ! grep -q -- "$2" <<<"$3"; then
    echo "FAIL: $1 (got: $3)"
    fail=1
  fi
}
width() { xwininfo -id "$window" | awk '/Width:/ {print $2}'; }
wait_width() {
  for _ in $(seq 50); do [ "$(width)" = "$1" ] && return 0; sleep 0.1; done
  echo "FAIL: $2: width $(width), not $1"
  fail=1
}
if [ -z "$window" ]; then
  echo "FAIL: no panel window"; cat "$work/app.log"; exit 1
fi

states=$(xprop -id "$window" _NET_WM_STATE)
expect "off the taskbar" _NET_WM_STATE_SKIP_TASKBAR "$states"
expect "off the pager" _NET_WM_STATE_SKIP_PAGER "$states"
expect "on every workspace" _NET_WM_STATE_STICKY "$states"
expect "no compositor shadow" "= 0" "$(xprop -id "$window" _COMPTON_SHADOW)"

wait_width 360 "without a compositor the window is the body"
"$owner" _NET_WM_CM_S0 2 &
compositor=$!
pids+=($compositor)
wait_width 384 "a compositor that starts brings the shadow margin"
wait "$compositor" || true
wait_width 360 "a compositor that stops takes the margin away"
[ "$fail" = 0 ] || cat "$work/app.log"
exit $fail
