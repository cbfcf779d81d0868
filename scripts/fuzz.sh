#!/usr/bin/env bash
# Fuzzes the upgrade file reader for a bounded time (KESTRUM_FUZZ_SECONDS,
# 60 by default), starting from the committed corpus. A crash, a sanitizer
# report or a broken invariant fails the run and leaves the input in
# build-fuzz/fuzz-artifacts/; turn it into a test in tests/tools.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${KESTRUM_FUZZ_SECONDS:-60}

if [ ! -f build-fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKESTRUM_FUZZ=ON -DKESTRUM_GUI=OFF \
        -DKESTRUM_BENCH=OFF -DKESTRUM_TESTS=ON -DKESTRUM_WERROR="${KESTRUM_WERROR:-OFF}"
fi
cmake --build build-fuzz --target fuzz_upgrade_file

# New inputs go to a scratch corpus so the committed one stays small.
work=build-fuzz/fuzz-corpus
artifacts=build-fuzz/fuzz-artifacts
mkdir -p "$work" "$artifacts"
# libFuzzer reports every new input it finds; that goes to a log, and only a
# failure shows it.
log=build-fuzz/fuzz.log
if ! build-fuzz/tests/fuzz/fuzz_upgrade_file -max_total_time="$seconds" -timeout=10 \
    -dict=tests/fuzz/hex.dict -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$work" tests/fuzz/corpus >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: the upgrade file reader failed; the input is in $artifacts/" >&2
    exit 1
fi
grep -E '^stat::number_of_executed_units|^Done ' "$log" || true
