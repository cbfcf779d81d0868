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
    echo "note: xwininfo (Debian package x11-utils) is missing: the window itself is not checked"
fi

work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The simulator prints the port to open as its first line, then one line per
# request it receives (--trace), collected into a file.
exec 3< <(exec "$sim" --no-gauges --trace)
sim_pid=$!
if ! read -r -t 10 port <&3; then
    echo "FAIL: kestrum-sim printed no port"
    exit 1
fi
echo "simulator on $port"
cat <&3 >"$work/trace" &
export KESTRUM_E2E_TRACE="$work/trace"

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
# Start-up first probes the controller on the listed port...
until tail -n "+${KESTRUM_E2E_TRACE_FROM:-1}" "$KESTRUM_E2E_TRACE" |
    grep -x 'request 5B 02 7F 00 00 00 24' >/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
        echo "FAIL: the simulator never saw the probe"
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    sleep 0.1
done
echo "probe seen by the simulator"
# ...and shows its window once the first page has been read. (Without
# xwininfo, go on at once: a SIGTERM during start-up is kept and closes the
# window as soon as it is shown.)
until ! command -v xwininfo >/dev/null 2>&1 ||
    xwininfo -root -tree 2>/dev/null | grep '"Quorvel Kestrum"' >/dev/null; do
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
# A fruitless search would end on the "COMn" names; still holding the
# simulator's port means the search ended there, on an answered probe.
held=no
for fd in /proc/"$pid"/fd/*; do
    if [ "$(readlink "$fd" 2>/dev/null)" = "$KESTRUM_E2E_PORT" ]; then
        held=yes
    fi
done
if [ "$held" != yes ]; then
    echo "FAIL: kestrum does not hold the simulator's port open"
    kill "$pid"
    exit 1
fi
echo "start-up done, port $KESTRUM_E2E_PORT open"
if [ -n "${KESTRUM_E2E_EXPECT_X:-}" ] && command -v xwininfo >/dev/null 2>&1; then
    x=$(xwininfo -name "Quorvel Kestrum" | sed -n 's/^ *Absolute upper-left X: *//p')
    if [ "$x" != "$KESTRUM_E2E_EXPECT_X" ]; then
        echo "FAIL: window at x $x, expected the stored $KESTRUM_E2E_EXPECT_X"
        kill "$pid"
        exit 1
    fi
fi
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

# Second start: the Monitor page and a moved window, stored as a user would
# have left them, come back and are written again unchanged.
top=$(sed -n 's/^Top=//p' "$store")
sed -i -e 's/^View=.*/View=2/' -e 's/^Left=.*/Left=100/' -e "s/^Top=.*/Top=$((top + 50))/" "$store"
KESTRUM_E2E_TRACE_FROM=$(($(wc -l <"$KESTRUM_E2E_TRACE") + 1)) \
    KESTRUM_E2E_EXPECT_X=100 xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/session.sh" "$kestrum"
expect 'View=2'
expect 'Left=100'
expect "Top=$((top + 50))"
echo "PASS"
