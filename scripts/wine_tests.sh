#!/usr/bin/env bash
# The Windows build, proven on Linux: builds the core and its tests with
# mingw-w64 into build-mingw/ and runs them under Wine. The serial tests talk
# through Wine's COM ports to simulators running natively: each COM name is
# an entry of the Wine prefix's dosdevices folder pointing at a simulator's
# pseudo-terminal. Needs build/kestrum-sim (scripts/bootstrap.sh builds it).
# Without Wine or the compiler it fails under CI and skips elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."

unavailable() {
    if [ -n "${CI:-}" ]; then
        echo "wine_tests: FAILED: $1" >&2
        exit 1
    fi
    echo "wine_tests: SKIPPED: $1 (scripts/bootstrap.sh installs what is missing)"
    exit 0
}
command -v x86_64-w64-mingw32-g++-posix >/dev/null || unavailable "no mingw-w64 compiler"
command -v wine >/dev/null || unavailable "no Wine"
[ -f /usr/src/googletest/CMakeLists.txt ] || unavailable "no GoogleTest sources"
command -v python3 >/dev/null || unavailable "no python3 for the hang-up line"
[ -x build/kestrum-sim ] || unavailable "no build/kestrum-sim"

# Every program that links only the core is built.
targets=(link_tests settings_tests tools_tests monitor_tests throttle_tests profiles_tests
         win32_tests)
lock=/tmp/kestrum-build.lock
if [ ! -f build-mingw/build.ninja ]; then
    flock "$lock" cmake -S . -B build-mingw -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DKESTRUM_BENCH=OFF \
        -DKESTRUM_WERROR="${KESTRUM_WERROR:-ON}" >/dev/null
fi
# Programs made of the core alone are built for Windows as they appear.
programs=()
if flock "$lock" cmake --build build-mingw --target help | grep -q '^kestrum-cli:'; then
    programs+=(kestrum-cli)
fi
build_start=$SECONDS
flock "$lock" cmake --build build-mingw --target "${targets[@]}" "${programs[@]}"
echo "wine_tests: built in $((SECONDS - build_start)) s"

work=$(mktemp -d)
export WINEPREFIX="$PWD/build-mingw/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
children=()
cleanup() {
    for pid in "${children[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# One server for all the programs, so each starts in well under a second;
# what it prints about the hung-up line goes to its log, not here.
prefix_start=$SECONDS
mkdir -p "$WINEPREFIX"
wineserver -p 30 2>"$work/wineserver.log" || unavailable "the Wine server does not start"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >"$work/wineboot.log" 2>&1 || {
        cat "$work/wineboot.log" >&2
        unavailable "Wine cannot set up its prefix"
    }
fi
echo "wine_tests: Wine prefix ready in $((SECONDS - prefix_start)) s"

# Starts a line holder and maps COM$1 to the pseudo-terminal it prints.
map_port() {
    local number=$1
    shift
    mkfifo "$work/com$number"
    "$@" >"$work/com$number" 2>/dev/null &
    children+=($!)
    local path
    exec {line}<"$work/com$number"
    read -r path <&"$line" || {
        echo "wine_tests: $* printed no port" >&2
        exit 1
    }
    ln -sfn "$path" "$WINEPREFIX/dosdevices/com$number"
}
map_port 21 build/kestrum-sim
map_port 22 build/kestrum-sim --silent
map_port 23 python3 tests/win32/hang_up_pty.py
export KESTRUM_WINE_ANSWERING_PORT=COM21 KESTRUM_WINE_SILENT_PORT=COM22 \
    KESTRUM_WINE_HANGUP_PORT=COM23

passed=0
failed=0
for target in "${targets[@]}"; do
    log="$work/$target.log"
    start=$(date +%s%N)
    status=0
    wine "build-mingw/tests/$target.exe" >"$log" 2>&1 || status=$?
    ms=$((($(date +%s%N) - start) / 1000000))
    ok=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log")
    bad=$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' "$log")
    skipped=$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below.*/\1/p' "$log")
    ok=${ok:-0} bad=${bad:-0} skipped=${skipped:-0}
    # A serial test skips only when its ports were not mapped: no pass. The
    # others skip for what Windows lacks (srec_cat, /dev/full).
    if [ "$target" = win32_tests ]; then
        bad=$((bad + skipped))
    fi
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1 # crashed or did not start
    fi
    if [ "$ok" -eq 0 ] && [ "$bad" -eq 0 ]; then
        bad=1 # ran no tests at all
    fi
    echo "wine_tests: $target.exe: $ok passed, $bad failed, $skipped skipped, $ms ms"
    if [ "$bad" -ne 0 ]; then
        grep -E -A3 '^\[  (FAILED|SKIPPED) \]|Failure' "$log" | head -n 60 >&2 || tail -n 40 "$log" >&2
    fi
    passed=$((passed + ok))
    failed=$((failed + bad))
done
# The command-line tool for Windows, end to end: its port handling, the
# registry timings reader (no key here: the defaults) and its output.
if [ -f build-mingw/kestrum-cli.exe ]; then
    status=0
    out=$(wine build-mingw/kestrum-cli.exe --port COM21 --retry-delay 50 identify 2>&1) || status=$?
    out=${out//$'\r'/}
    if [ "$status" -eq 0 ] && grep -qx 'Serial Number: 228138' <<<"$out" &&
        grep -qx 'Port: COM21' <<<"$out"; then
        echo "wine_tests: kestrum-cli.exe identify: passed"
        passed=$((passed + 1))
    else
        echo "wine_tests: kestrum-cli.exe identify: FAILED (exit $status)" >&2
        echo "$out" >&2
        failed=$((failed + 1))
    fi
fi
echo "wine_tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
