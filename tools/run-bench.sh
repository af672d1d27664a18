#!/usr/bin/env bash
# Runs the start-up and memory benchmark under Xvfb and Wine (see bench/).
set -uo pipefail
build=${1:-build}
: "${WINEPREFIX:?WINEPREFIX must be set}"
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  wineserver -p
  wineboot >/dev/null 2>&1 </dev/null
  wine "$1/test-bin/zt_startup_bench.exe" "${BENCH_ROUNDS:-7}"
  rc=$?
  wineserver -k
  exit $rc
' run-bench "$build"
