#!/usr/bin/env bash
# scripts/run.sh --help: the usage text, and nothing of the script's code,
# without building or starting anything.
set -euo pipefail

run_sh=$1
help=$(bash "$run_sh" --help)

fail() {
    echo "FAIL: $1"
    printf '%s\n' "$help"
    exit 1
}
grep -q '^  scripts/run.sh --real ' <<<"$help" || fail "the --real usage line is missing"
grep -q '^The demo: ' <<<"$help" || fail "the description is missing"
if grep -Eq '^(set |cd |#)' <<<"$help"; then
    fail "code or comment marks leak into the help text"
fi
status=0
bash "$run_sh" --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "an unknown option ends with status $status, not 2"
echo "PASS"
