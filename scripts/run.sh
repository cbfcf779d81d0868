#!/usr/bin/env bash
# The demo: builds what is needed, starts a simulated controller and the tool
# connected to it. The simulated controller keeps its memory between runs in
# ${XDG_STATE_HOME:-~/.local/state}/kestrum/demo-controller.img.
#
#   scripts/run.sh           the tool against the simulated controller
#   scripts/run.sh --real    the tool alone, searching the real serial ports
#                            (also with KESTRUM_REAL=1)
set -euo pipefail
cd "$(dirname "$0")/.."

real=${KESTRUM_REAL:-0}
for arg in "$@"; do
    case $arg in
    --real) real=1 ;;
    -h | --help)
        # The comment block under the first line, without its "# ".
        awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"
        exit 0
        ;;
    *)
        echo "run.sh: unknown option $arg (see --help)" >&2
        exit 2
        ;;
    esac
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    echo "run.sh: run it from a desktop session (or ssh -X), or try it under a virtual" >&2
    echo "run.sh: display with: xvfb-run -a scripts/run.sh" >&2
    exit 1
fi

# Only the two programs: the tests and benchmarks are scripts/test.sh's.
bash scripts/bootstrap.sh kestrum kestrum-sim

if [ "$real" = 1 ]; then
    echo "Starting the tool; it searches the serial ports for a controller."
    exec build/kestrum
fi

state_dir="${XDG_STATE_HOME:-$HOME/.local/state}/kestrum"
mkdir -p "$state_dir"

# The simulator's first line is the port it serves; the tool is pointed at
# exactly that port through KESTRUM_PORTS.
exec 3< <(exec build/kestrum-sim --image "$state_dir/demo-controller.img")
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
if ! read -r -t 10 port <&3; then
    echo "run.sh: the simulated controller did not start" >&2
    exit 1
fi
echo "Simulated controller on $port; starting the tool."
KESTRUM_PORTS="$port" build/kestrum
