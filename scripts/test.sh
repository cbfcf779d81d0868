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

echo "== tests"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

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
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 300

echo "== ThreadSanitizer"
sanitizer_build build-tsan "-fsanitize=thread"
# The threaded programs: the link with its reader thread, the simulator, and
# the log files written from a worker thread.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 300 \
    -L '^(link_tests|sim_tests|tools_tests|monitor_tests)$'

if [ -x scripts/fuzz.sh ]; then
    echo "== fuzzers"
    bash scripts/fuzz.sh
fi
echo "== all tests passed"
