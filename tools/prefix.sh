#!/usr/bin/env bash
# Creates the Wine prefix of this build tree once (WINEPREFIX is set by the Makefile).
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
if [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.zettray-ready" ]; then
  exit 0
fi
echo "prefix: creating $WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
touch "$WINEPREFIX/.zettray-ready"
