#!/usr/bin/env bash
# Runs every test of a build tree through CTest under Xvfb and Wine, and says how long
# the run took.
set -uo pipefail
build=${1:-build}
start=$(date +%s)
# A failed test runs once more: Wine's 32-bit loader now and then crashes while a test
# program exits, after all its tests passed (about one run in several hundred, seen only
# under load). A fault of the program fails both runs.
"$(dirname "$0")/under-wine.sh" ctest --test-dir "$build" --output-on-failure -j "${CTEST_JOBS:-2}" --timeout 180 \
  --repeat until-pass:2
rc=$?
echo "test run of $build: $(( $(date +%s) - start )) s (exit $rc)"
exit $rc
