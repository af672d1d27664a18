#!/usr/bin/env bash
# Creates the Wine prefix of this build tree once (WINEPREFIX is set by the Makefile), and
# sets it up for headless runs: without a window manager, Wine waits about 2 s for one
# whenever the last tray icon goes away unless its X11 driver manages the windows itself.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
ready="$WINEPREFIX/.zettray-ready"
if [ -f "$WINEPREFIX/system.reg" ] && [ -f "$ready" ] && grep -qx 'managed=N' "$ready"; then
  exit 0
fi
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$ready" ]; then
  echo "prefix: creating $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
echo 'managed=N' > "$ready"
