#!/usr/bin/env bash
# Runs the simultaneous-start trials (see bench/stress.cpp) under Xvfb and Wine, in a
# Wine prefix of their own (build/stress/wineprefix): they delete the per-user target store.
set -uo pipefail
build=${1:-build}
export WINEPREFIX
WINEPREFIX=$(realpath -m "$build/stress/wineprefix")
"$(dirname "$0")/prefix.sh" || exit 1
exec "$(dirname "$0")/under-wine.sh" wine "$build/test-bin/zt_stress.exe" "${STRESS_TRIALS:-20}"
