#!/usr/bin/env bash
# Runs a command under a private X display (Xvfb) with one persistent wineserver for the
# prefix in WINEPREFIX, so each Wine program starts fast; stops the server afterwards.
set -uo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
# XVFB_SERVERNUM: the first display number to try (runs side by side start apart).
exec xvfb-run -a -n "${XVFB_SERVERNUM:-99}" -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  wineserver -p
  # Start the prefix'"'"'s services now, with no pipe of the command attached: a service
  # started by the first program would inherit its output pipe and keep a caller waiting.
  wineboot >/dev/null 2>&1 </dev/null
  "$@"
  rc=$?
  wineserver -k
  exit $rc
' under-wine "$@"
