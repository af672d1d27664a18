#!/usr/bin/env bash
# Runs every test of a build tree through CTest under Xvfb and Wine, and says how long
# the run took.
#
# A failed test runs once more: Wine's 32-bit loader now and then crashes while a test
# program exits, after all its tests passed (about one run in several hundred, seen only
# under load). A fault of the program fails both runs. A test that passed only on its
# second run is named in the summary. Tests labelled "noretry" (the locks and simultaneous
# starts, see tests/CMakeLists.txt) run once: a second chance would hide what they look for.
set -uo pipefail
build=${1:-build}
start=$(date +%s)
# The desktop keeper: no test may become the parent of the prefix's desktop process.
export ZT_DESKTOP_KEEPER="$build/test-bin/zt_desktop.exe"
wine_ctest() { "$(dirname "$0")/under-wine.sh" ctest --test-dir "$build" --output-on-failure --timeout 180 "$@"; }
failed_list="$build/Testing/Temporary/LastTestsFailed.log"
failed_names() { [ -f "$failed_list" ] && cut -d: -f2- "$failed_list" | sort; }

rm -f "$failed_list"
wine_ctest -j "${CTEST_JOBS:-2}"
rc=$?
if [ $rc -ne 0 ] && [ -s "$failed_list" ]; then
  first=$(failed_names)
  noretry=$(wine_ctest -N -L noretry 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p' | sort)
  kept=$(comm -12 <(echo "$first") <(echo "$noretry"))
  retry=$(comm -23 <(echo "$first") <(echo "$noretry"))
  rc=0
  [ -n "$kept" ] && rc=1
  if [ -n "$retry" ]; then
    echo "running once more: $(echo $retry)"
    # --rerun-failed takes no label filter: the list it reads keeps only the retried tests.
    awk -F: 'NR == FNR { once[$0] = 1; next } !(substr($0, index($0, ":") + 1) in once)' \
      <(echo "$noretry") "$failed_list" >"$failed_list.retry" && mv "$failed_list.retry" "$failed_list"
    # A run without failures leaves the list as it was.
    if wine_ctest --rerun-failed; then
      passed=$retry
    else
      rc=1
      passed=$(comm -23 <(echo "$retry") <(failed_names))
    fi
    [ -n "$passed" ] && echo "passed only on their second run: $(echo $passed)"
  fi
  [ -n "$kept" ] && echo "failed (not run again): $(echo $kept)"
fi
echo "test run of $build: $(( $(date +%s) - start )) s (exit $rc)"
exit $rc
