#!/usr/bin/env bash
# Builds what is needed, then starts the simulated controller.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
echo "Starting the simulated controller; its first line is the port to open."
exec build/kestrum-sim "$@"
