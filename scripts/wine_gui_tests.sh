#!/usr/bin/env bash
# The window for Windows, proven on Linux: builds kestrum.exe, kestrum-cli.exe,
# the Windows widget tests and the installer into build-windows/
# (scripts/windows_build.sh), then under Wine, in a fresh prefix:
#  1. the Windows widget tests (offscreen; the session-end test on the real
#     Windows platform plugin on a virtual X server);
#  2. the real kestrum.exe on a virtual X server, with COM1 pointing at a
#     native kestrum-sim --trace and no KESTRUM_PORTS: it finds the controller
#     by its own search and fills the Control Panel with the same requests,
#     in the same order, as the Linux program (build/kestrum) on its first
#     start; closed through its menu (Settings, Exit) it leaves every value
#     of Settings in the prefix's registry as a REG_DWORD;
#  3. the installer, silently (/S): the installed kestrum-cli.exe --help runs,
#     the Start-menu entry and the uninstaller's entry exist, and the
#     uninstaller removes them and every installed file.
#
# Left out, and why: the widget tests of tests/gui run the simulator inside
# the test program on a pseudo-terminal (POSIX only), so they are not built
# for Windows; the serial port itself under Wine is scripts/wine_tests.sh's.
#
# Runs when Qt for Windows exists (scripts/qt_windows.sh); otherwise says so
# in one line, or builds it first when KESTRUM_BUILD_QT_WINDOWS=1.
set -euo pipefail
cd "$(dirname "$0")/.."

qt=${KESTRUM_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrum/qt-6.4.2-mingw64}
if [ ! -f "$qt/.complete" ]; then
    if [ "${KESTRUM_BUILD_QT_WINDOWS:-}" = 1 ]; then
        bash scripts/qt_windows.sh
    else
        echo "wine_gui_tests: SKIPPED: no Qt for Windows in $qt (scripts/qt_windows.sh builds it)"
        exit 0
    fi
fi
unavailable() {
    if [ -n "${CI:-}" ]; then
        echo "wine_gui_tests: FAILED: $1" >&2
        exit 1
    fi
    echo "wine_gui_tests: SKIPPED: $1 (scripts/bootstrap.sh installs what is missing)"
    exit 0
}
for tool in wine wineserver Xvfb xwininfo xdotool makensis zip; do
    command -v "$tool" >/dev/null || unavailable "no $tool"
done
[ -x build/kestrum ] && [ -x build/kestrum-sim ] || unavailable "no build/kestrum or build/kestrum-sim"

stage_start=$SECONDS
bash scripts/windows_build.sh win32_gui_tests
version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:STATIC=(.*)$/\1/p' build-windows/CMakeCache.txt)

work=$(mktemp -d)
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
children=()
cleanup() {
    for pid in "${children[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() {
    echo "wine_gui_tests: $1: passed"
    passed=$((passed + 1))
}
fail() {
    echo "wine_gui_tests: $1: FAILED" >&2
    failed=$((failed + 1))
}

# A virtual X server for the runs on the real Windows platform plugin.
display=""
for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X$n-lock" ]; then
        display=:$n
        break
    fi
done
[ -n "$display" ] || unavailable "no free X display number"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
children+=($!)
export DISPLAY=$display
for _ in $(seq 100); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.1
done
xwininfo -root >/dev/null 2>&1 || unavailable "Xvfb does not start"

# A fresh prefix each time: what the programs find there is theirs alone.
prefix_start=$SECONDS
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p 60 2>"$work/wineserver.log" || unavailable "the Wine server does not start"
wineboot --init >"$work/wineboot.log" 2>&1 || {
    cat "$work/wineboot.log" >&2
    unavailable "Wine cannot set up its prefix"
}
echo "wine_gui_tests: Wine prefix ready in $((SECONDS - prefix_start)) s"

# --- 1. The Windows widget tests -------------------------------------------
run_gtest() {
    local label=$1
    shift
    local log=$work/$label.log status=0 ok bad
    wine "$@" >"$log" 2>&1 || status=$?
    ok=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log")
    bad=$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' "$log")
    skipped=$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below.*/\1/p' "$log")
    ok=${ok:-0} bad=${bad:-0} skipped=${skipped:-0}
    # Nothing here may skip: each run chooses the platform its tests need.
    bad=$((bad + skipped))
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1 # crashed or did not start
    fi
    if [ "$ok" -eq 0 ] && [ "$bad" -eq 0 ]; then
        bad=1 # ran no tests at all
    fi
    echo "wine_gui_tests: $label: $ok passed, $bad failed"
    if [ "$bad" -ne 0 ]; then
        grep -E -A3 '^\[  (FAILED|SKIPPED) \]|Failure' "$log" | head -n 60 >&2 || tail -n 40 "$log" >&2
    fi
    passed=$((passed + ok))
    failed=$((failed + bad))
}
tests=build-windows/tests/win32_gui_tests.exe
QT_QPA_PLATFORM=offscreen run_gtest "win32_gui_tests (offscreen)" "$tests" --gtest_filter='-SessionEnd.*'
# The platform by Qt's own option: the test program picks offscreen unless told.
run_gtest "win32_gui_tests (windows platform)" "$tests" --gtest_filter='SessionEnd.*' -platform windows

# --- 2. The real program against the simulator -----------------------------
# Starts a simulator with --trace: its first line is its pseudo-terminal,
# then one line per request it receives, collected into the file $2.
start_sim() {
    local fifo=$work/$1.fifo
    mkfifo "$fifo"
    build/kestrum-sim --no-gauges --trace >"$fifo" 2>/dev/null &
    children+=($!)
    exec {line}<"$fifo"
    read -r -t 10 sim_port <&"$line" || return 1
    cat <&"$line" >"$2" &
    children+=($!)
}
# Waits until a top-level window titled "Quorvel Kestrum" exists while the
# process $1 runs.
wait_for_window() {
    local pid=$1 deadline=$((SECONDS + 60))
    until xwininfo -root -tree 2>/dev/null | grep -q '"Quorvel Kestrum"'; do
        kill -0 "$pid" 2>/dev/null || return 1
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# The Linux program's first start, for reference: what the Control Panel
# asks before the window shows.
start_sim linux "$work/linux.trace" || unavailable "kestrum-sim printed no port"
XDG_CONFIG_HOME="$work/linux-config" KESTRUM_PORTS=$sim_port QT_QPA_PLATFORM=xcb build/kestrum \
    >"$work/linux.log" 2>&1 &
linux_pid=$!
children+=($linux_pid)
if wait_for_window "$linux_pid"; then
    linux_count=$(wc -l <"$work/linux.trace")
    kill -TERM "$linux_pid"
    wait "$linux_pid" || true
else
    linux_count=0
fi
[ "$linux_count" -gt 0 ] || unavailable "the Linux program did not start against the simulator"

# COM1 is the simulator, as the prefix's dosdevices entry and as Wine's own
# port setting, so that the search finds it among the COM names.
start_sim windows "$work/windows.trace" || unavailable "kestrum-sim printed no port"
ln -sfn "$sim_port" "$WINEPREFIX/dosdevices/com1"
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$sim_port" /f >/dev/null 2>&1
unset KESTRUM_PORTS
QT_QPA_PLATFORM=windows wine build-windows/kestrum.exe >"$work/kestrum.log" 2>&1 &
wine_pid=$!
children+=($wine_pid)
if wait_for_window "$wine_pid"; then
    pass "kestrum.exe shows its window"
else
    fail "kestrum.exe shows its window"
fi
# The window shows once the Control Panel has been read: what the simulator
# has seen by then is compared with the Linux program's first start (once
# the trace has caught up with it).
deadline=$((SECONDS + 10))
while [ "$(wc -l <"$work/windows.trace")" -lt "$linux_count" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.1
done
if head -n "$linux_count" "$work/windows.trace" | cmp -s - <(head -n "$linux_count" "$work/linux.trace"); then
    pass "kestrum.exe found COM1 by its own search and read the Control Panel as on Linux ($linux_count requests)"
else
    fail "kestrum.exe read the Control Panel as on Linux"
    diff <(head -n "$linux_count" "$work/linux.trace") <(head -n "$linux_count" "$work/windows.trace") |
        head -n 20 >&2 || true
fi
if [ -n "${KESTRUM_SCREENSHOT:-}" ] && command -v import >/dev/null; then
    sleep 2 # the status line's next update, which names the port
    import -window root "$KESTRUM_SCREENSHOT" && echo "wine_gui_tests: screenshot in $KESTRUM_SCREENSHOT"
fi

# Closed through its menu: Settings (Alt+S), Exit (E).
window=$(xdotool search --name '^Quorvel Kestrum$' | head -n 1 || true)
if [ -n "$window" ]; then
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    # One sequence: the program takes the keys in order, the menu opened by
    # the first before the second arrives.
    xdotool key --clearmodifiers alt+s e
fi
deadline=$((SECONDS + 30))
while kill -0 "$wine_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
    sleep 0.1
done
if kill -0 "$wine_pid" 2>/dev/null; then
    fail "kestrum.exe ends through Settings, Exit"
    kill "$wine_pid" 2>/dev/null || true
else
    pass "kestrum.exe ends through Settings, Exit"
fi
registry=$(wine reg query 'HKCU\Software\Quorvel\Quorvel Kestrum\Settings' 2>/dev/null | tr -d '\r' || true)
missing=""
for name in WriteDelay ReadWriteTries RetryDelay ResetTries ResetDelay View Left Top; do
    grep -Eq "^ +$name +REG_DWORD +0x[0-9a-f]+$" <<<"$registry" || missing+=" $name"
done
if [ -z "$missing" ] && grep -Eq '^ +WriteDelay +REG_DWORD +0x14$' <<<"$registry"; then
    pass "the Settings values are REG_DWORDs in the registry"
else
    fail "the Settings values are REG_DWORDs in the registry (missing:${missing:- none})"
    echo "$registry" >&2
fi

# --- 3. The installer ------------------------------------------------------
setup=build-windows/Kestrum-$version-win64-setup.exe
installed='C:\Program Files\Quorvel Kestrum'
installed_unix=$(winepath -u "$installed" 2>/dev/null)
menu_entry=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quorvel Kestrum' 2>/dev/null)
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel Kestrum'
if wine "$setup" /S >"$work/setup.log" 2>&1 && [ -f "$installed_unix/kestrum.exe" ] &&
    [ -f "$installed_unix/platforms/qwindows.dll" ] && [ -d "$menu_entry" ] &&
    wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1; then
    pass "the installer installs silently into Program Files, with a Start-menu entry"
else
    fail "the installer installs silently into Program Files, with a Start-menu entry"
fi
help=$(wine "$installed\\kestrum-cli.exe" --help 2>&1 | tr -d '\r' || true)
if grep -q 'kestrum-cli' <<<"$help"; then
    pass "the installed kestrum-cli.exe --help"
else
    fail "the installed kestrum-cli.exe --help"
    echo "$help" | head -n 10 >&2
fi
# The uninstaller copies itself away and returns at once; its copy removes
# the folder.
wine "$installed\\Uninstall.exe" /S >"$work/uninstall.log" 2>&1 || true
deadline=$((SECONDS + 60))
while [ -e "$installed_unix" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.2
done
if [ ! -e "$installed_unix" ] && [ ! -e "$menu_entry" ] &&
    ! wine reg query "$uninstall_key" >/dev/null 2>&1; then
    pass "the uninstaller removes the files, the Start-menu entry and its own entry"
else
    fail "the uninstaller removes the files, the Start-menu entry and its own entry"
    find "$installed_unix" "$menu_entry" 2>/dev/null | head -n 20 >&2
fi

echo "wine_gui_tests: $passed passed, $failed failed, in $((SECONDS - stage_start)) s"
[ "$failed" -eq 0 ]
