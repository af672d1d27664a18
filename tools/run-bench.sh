#!/usr/bin/env bash
# Runs the start-up and memory benchmark (see bench/) under Xvfb and Wine.
set -uo pipefail
build=${1:-build}
exec "$(dirname "$0")/under-wine.sh" wine "$build/test-bin/zt_startup_bench.exe" "${BENCH_ROUNDS:-7}"
