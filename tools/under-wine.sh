#!/usr/bin/env bash
# Runs a command under a private X display (Xvfb) with one persistent wineserver for the
# prefix in WINEPREFIX, so each Wine program starts fast; stops the server afterwards.
# ZT_DESKTOP_KEEPER, when it names a program, is started first with no pipe attached and
# holds the prefix's desktop open for the whole run (see tests/support/desktop_keeper.cpp).
set -uo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
# XVFB_SERVERNUM: the first display number to try (runs side by side start apart).
exec xvfb-run -a -n "${XVFB_SERVERNUM:-99}" -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  wineserver -p
  # Start the prefix'"'"'s services now, with no pipe of the command attached: a service
  # started by the first program would inherit its output pipe and keep a caller waiting.
  wineboot >/dev/null 2>&1 </dev/null
  if [ -n "${ZT_DESKTOP_KEEPER:-}" ] && [ -f "$ZT_DESKTOP_KEEPER" ]; then
    ready=$(mktemp -u /tmp/zt-desktop.XXXXXX)
    wine "$ZT_DESKTOP_KEEPER" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -e "$ready" ] && break; sleep 0.1; done
    rm -f "$ready"
  fi
  "$@"
  rc=$?
  wineserver -k
  exit $rc
' under-wine "$@"
