#!/usr/bin/env bash
# Runs every test of a build tree through CTest, under a private X display (Xvfb) and
# with one persistent wineserver for the whole run, so each test process starts fast.
set -uo pipefail
build=${1:-build}
: "${WINEPREFIX:?WINEPREFIX must be set}"
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  wineserver -p
  # Start the prefix'"'"'s services now, with no pipe of CTest'"'"'s attached: a service started
  # by the first test would inherit its output pipe and keep CTest waiting.
  wineboot >/dev/null 2>&1 </dev/null
  ctest --test-dir "$1" --output-on-failure -j "${CTEST_JOBS:-2}" --timeout 180
  rc=$?
  wineserver -k
  exit $rc
' run-tests "$build"
