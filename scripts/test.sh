#!/usr/bin/env bash
# The whole test suite: the normal build under ctest, then the GUI-free tests
# under AddressSanitizer+UBSan and the threaded ones under ThreadSanitizer,
# then the fuzzers for a bounded time. Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -n "${CI:-}" ]; then
    export KESTRUM_WERROR=ON
fi
bash scripts/bootstrap.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# Every ctest run adds its counts to one closing line for the whole suite; a
# failing run does not stop the others, so one CI run shows every failure.
passed=0
failed=0
broken=0
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
run_ctest() {
    local status=0
    ctest "$@" 2>&1 | tee "$summary" || status=$?
    local line total bad
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$summary" | tail -n 1)
    if [ -z "$line" ]; then
        echo "test.sh: ctest ran no tests" >&2
        return 1
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    return "$status"
}

echo "== tests"
run_ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300 || broken=1

sanitizer_build() {
    local dir=$1 flags=$2
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
            -DKESTRUM_GUI=OFF -DKESTRUM_BENCH=OFF -DKESTRUM_WERROR="${KESTRUM_WERROR:-OFF}" \
            -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer -O1" \
            -DCMAKE_EXE_LINKER_FLAGS="$flags"
    fi
    cmake --build "$dir"
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
sanitizer_build build-asan "-fsanitize=address,undefined -fno-sanitize-recover=undefined"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 300 || broken=1

echo "== ThreadSanitizer"
sanitizer_build build-tsan "-fsanitize=thread"
# The threaded programs: the link with its reader thread, the simulator, and
# the log files written from a worker thread, and profile loads over the link.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    run_ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 300 \
    -L '^(link_tests|sim_tests|tools_tests|monitor_tests|profiles_tests)$' || broken=1

# The Win32 code cross-built and run under Wine against the simulator, and
# the Debian package made, unpacked, checked and linted.
echo "== Windows build under Wine, Debian package"
bash scripts/wine_tests.sh || broken=1
bash scripts/package_test.sh || broken=1

# The window for Windows: kestrum.exe, its widget tests and its installer
# under Wine. One line says it was skipped while Qt for Windows is not built.
echo "== Windows window under Wine"
bash scripts/wine_gui_tests.sh || broken=1

if [ -x scripts/fuzz.sh ]; then
    echo "== fuzzers"
    bash scripts/fuzz.sh || broken=1
fi
if [ "$broken" -ne 0 ]; then
    echo "== FAILED"
    echo "$passed passed, $failed failed"
    exit 1
fi
echo "== all tests passed"
echo "$passed passed, $failed failed"
