#!/usr/bin/env bash
# End-to-end: the real kestrum program on a virtual X server finds the
# simulated controller (kestrum-sim) through KESTRUM_PORTS, shows its window,
# and on SIGTERM closes the normal way, writing its settings.
#
#   startup_e2e.sh KESTRUM KESTRUM_SIM
#
# Exit 77 (skipped) when xvfb-run is not installed.
set -euo pipefail

kestrum=$1
sim=$2

if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "SKIPPED: xvfb-run is not installed (Debian package xvfb)"
    exit 77
fi
if ! command -v xwininfo >/dev/null 2>&1; then
    echo "SKIPPED: xwininfo is not installed (Debian package x11-utils)"
    exit 77
fi

work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The simulator prints the port to open as its first line.
exec 3< <(exec "$sim" --no-gauges)
sim_pid=$!
if ! read -r -t 10 port <&3; then
    echo "FAIL: kestrum-sim printed no port"
    exit 1
fi
echo "simulator on $port"

export XDG_CONFIG_HOME="$work/config"
export KESTRUM_PORTS="$port"
export KESTRUM_E2E_PORT="$port"
unset QT_QPA_PLATFORM

# The session runs inside the virtual display: start the tool, wait for its
# window, check what it holds open, close it with SIGTERM.
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
kestrum=$1
"$kestrum" &
pid=$!
deadline=$((SECONDS + 30))
until xwininfo -root -tree 2>/dev/null | grep -q '"Quorvel Kestrum"'; do
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: kestrum ended before showing its window"
        exit 1
    fi
    if [ $SECONDS -ge $deadline ]; then
        echo "FAIL: no window after 30 s"
        kill "$pid"
        exit 1
    fi
    sleep 0.1
done
# The window appears only after the start-up search. The search leaves the
# simulator's port open only if the controller answered its probe there (a
# fruitless search ends on the "COMn" names), so holding it proves the probe.
held=no
for fd in /proc/"$pid"/fd/*; do
    if [ "$(readlink "$fd" 2>/dev/null)" = "$KESTRUM_E2E_PORT" ]; then
        held=yes
    fi
done
if [ "$held" != yes ]; then
    echo "FAIL: kestrum does not hold the simulator's port open: the probe was not answered"
    kill "$pid"
    exit 1
fi
echo "window shown, port $KESTRUM_E2E_PORT open"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: kestrum exited with status $status after SIGTERM"
    exit 1
fi
SESSION

xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/session.sh" "$kestrum"

store="$XDG_CONFIG_HOME/Quorvel/Quorvel Kestrum.conf"
if [ ! -f "$store" ]; then
    echo "FAIL: no settings written to $store"
    exit 1
fi
cat "$store"
expect() {
    if ! grep -qx "$1" "$store"; then
        echo "FAIL: $store lacks the line $1"
        exit 1
    fi
}
expect '\[Settings\]'
expect 'WriteDelay=20'
expect 'ReadWriteTries=5'
expect 'RetryDelay=200'
expect 'ResetTries=20'
expect 'ResetDelay=50'
expect 'View=0'
expect 'Left=0'
grep -Eqx 'Top=[0-9]+' "$store" || { echo "FAIL: no Top value"; exit 1; }
echo "PASS"
