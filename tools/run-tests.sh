#!/usr/bin/env bash
# Runs every test of a build tree through CTest under Xvfb and Wine.
set -uo pipefail
build=${1:-build}
exec "$(dirname "$0")/under-wine.sh" ctest --test-dir "$build" --output-on-failure -j "${CTEST_JOBS:-2}" --timeout 180
