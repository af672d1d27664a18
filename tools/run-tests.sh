#!/usr/bin/env bash
# Runs every test of a build tree through CTest under Xvfb and Wine, and says how long
# the run took.
set -uo pipefail
build=${1:-build}
start=$(date +%s)
"$(dirname "$0")/under-wine.sh" ctest --test-dir "$build" --output-on-failure -j "${CTEST_JOBS:-2}" --timeout 180
rc=$?
echo "test run of $build: $(( $(date +%s) - start )) s (exit $rc)"
exit $rc
