#!/usr/bin/env bash
# The first-run demo: installs a sample printer with zetsetup inside a Wine virtual desktop
# (under Xvfb), opens the monitor's tray menu and its Printer Status window, takes a
# screenshot of each into <build>/demo/, uninstalls, and prints the monitor's trace log.
# It uses a Wine prefix of its own (<build>/demo/wineprefix) and stops its own wineserver.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tools=$(cd "$(dirname "$0")" && pwd)
demo=$build/demo
printer="Zetwatch Demo Printer"
timeout_s=150

"$tools/deps.sh" imagemagick # import, for the screenshots

for f in bin/zetsetup.exe bin/zettray.exe demo-bin/zetdemo.exe; do
  [ -f "$build/$f" ] || { echo "demo: $build/$f is missing (run make build)" >&2; exit 1; }
done

export WINEPREFIX=$demo/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
mkdir -p "$demo"
"$tools/prefix.sh"
work=$WINEPREFIX/drive_c/zetdemo
rm -rf "$work" "$demo"/zetdemo-*.png "$WINEPREFIX/drive_c/J_RxxIC.LOG"
mkdir -p "$work"
cp "$build/demo-bin/zetdemo.exe" "$work/"

echo "demo: running in a Wine virtual desktop (800x600) under Xvfb"
set +e
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  demo=$1 work=$2 build=$3 printer=$4 timeout_s=$5
  wineserver -p
  wineboot >/dev/null 2>&1 </dev/null
  wine explorer /desktop=zetdemo,800x600 "C:\\zetdemo\\zetdemo.exe" --printer "$printer" \
    --setup "Z:${build//\//\\}\\bin\\zetsetup.exe" --work "C:\\zetdemo" >/dev/null 2>&1 </dev/null &
  deadline=$((SECONDS + timeout_s))
  while [ ! -f "$work/finished" ] && [ $SECONDS -lt $deadline ]; do
    for n in 1 2; do
      if [ -f "$work/shot$n.request" ] && [ ! -f "$work/shot$n.done" ]; then
        import -window root -crop 800x600+0+0 +repage "$demo/zetdemo-$n.png"
        touch "$work/shot$n.done"
      fi
    done
    sleep 0.2
  done
  wineserver -k
  wait
  [ -f "$work/finished" ] || echo "demo: timed out after ${timeout_s} s" >&2
' demo "$demo" "$work" "$build" "$printer" "$timeout_s"
set -e

show() { [ -f "$2" ] && { echo; echo "---- $1"; tr -d '\r' < "$2"; }; return 0; }
show "zetsetup install" "$work/install.txt"
show "zetsetup uninstall" "$work/uninstall.txt"
show "demo steps" "$work/demo.log"
show "trace log C:\\J_RxxIC.LOG" "$WINEPREFIX/drive_c/J_RxxIC.LOG"
echo
result=$(cat "$work/finished" 2>/dev/null || echo 1)
shots=0
for n in 1 2; do
  if [ -f "$demo/zetdemo-$n.png" ]; then
    echo "demo: screenshot $demo/zetdemo-$n.png"
    shots=$((shots + 1))
  fi
done
if [ "$result" = 0 ] && [ $shots = 2 ]; then
  echo "demo: done"
else
  echo "demo: failed" >&2
  exit 1
fi
