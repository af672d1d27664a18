#!/usr/bin/env bash
# The first-run demo: installs a sample printer with zetsetup inside a Wine virtual desktop
# (under Xvfb), opens the monitor's tray menu, its Printer Status and Monitoring Preferences
# windows and the first sample tool, and the printer out of paper and offline (its badged
# icon with the notification, and its tooltip), takes a screenshot of each into <build>/demo/,
# uninstalls, and prints the monitor's trace log. It does so twice: at 100 % display scale
# (96 DPI) and at 150 % (144 DPI, Wine's LogPixels). Then once more, briefly, as a
# Japanese user at 100 %: the menu and the tooltip of a printer out of paper in the
# sample kit's Japanese words (a Japanese locale compiled into <build>/locale, as the
# tests do, and a Japanese font from Debian's packages). It uses a Wine prefix of its own
# (<build>/demo/wineprefix) and stops its own wineserver.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tools=$(cd "$(dirname "$0")" && pwd)
demo=$build/demo
printer="Zetwatch Demo Printer"
timeout_s=140 # for each run
# Each run: its name, the display scale, the screenshots it takes.
runs=("100 100 1 2 3 4 5 6" "150 150 1 2 3 4 5 6" "ja 100 1 2")

"$tools/deps.sh" imagemagick fonts-vlgothic # import, for the screenshots; the Japanese font
locale=$build/locale
if [ ! -d "$locale/ja_JP.UTF-8" ]; then
  mkdir -p "$locale"
  localedef -i ja_JP -f UTF-8 "$locale/ja_JP.UTF-8" || echo "demo: no Japanese locale for the Japanese run" >&2
fi

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

# Wine takes the display's scale from LogPixels when its server starts.
set_scale() {
  local dpi=$(( $1 * 96 / 100 ))
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  wineserver -w
}

run_demo() {
  local name=$1 scale=$2 shots=$3 out=$work/$1 brief="" env=()
  mkdir -p "$out"
  if [ "$name" = ja ]; then
    echo "demo: running as a Japanese user at $scale % in a Wine virtual desktop (800x600) under Xvfb"
    env=(LC_ALL=ja_JP.UTF-8 LOCPATH="$locale")
    brief=--brief
  else
    echo "demo: running at $scale % in a Wine virtual desktop (800x600) under Xvfb"
  fi
  set_scale "$scale"
  env "${env[@]}" xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
    demo=$1 out=$2 build=$3 printer=$4 timeout_s=$5 name=$6 shots=$7 brief=$8
    wineserver -p
    wineboot >/dev/null 2>&1 </dev/null
    wine explorer /desktop=zetdemo,800x600 "C:\\zetdemo\\zetdemo.exe" --printer "$printer" \
      --setup "Z:${build//\//\\}\\bin\\zetsetup.exe" --work "C:\\zetdemo\\$name" $brief >/dev/null 2>&1 </dev/null &
    deadline=$((SECONDS + timeout_s))
    while [ ! -f "$out/finished" ] && [ $SECONDS -lt $deadline ]; do
      for n in $shots; do
        if [ -f "$out/shot$n.request" ] && [ ! -f "$out/shot$n.done" ]; then
          import -window root -crop 800x600+0+0 +repage "$demo/zetdemo-$name-$n.png"
          touch "$out/shot$n.done"
        fi
      done
      sleep 0.2
    done
    wineserver -k
    wait
    [ -f "$out/finished" ] || echo "demo: timed out after ${timeout_s} s in the run $name" >&2
  ' demo "$demo" "$out" "$build" "$printer" "$timeout_s" "$name" "$shots" "$brief"
}

set +e
for run in "${runs[@]}"; do
  read -r name scale shots <<<"$run"
  run_demo "$name" "$scale" "$shots"
done
set_scale 100
set -e

show() { [ -f "$2" ] && { echo; echo "---- $1"; tr -d '\r' < "$2"; }; return 0; }
for run in "${runs[@]}"; do
  read -r name scale shots <<<"$run"
  show "zetsetup install ($name)" "$work/$name/install.txt"
  show "zetsetup uninstall ($name)" "$work/$name/uninstall.txt"
  show "demo steps ($name)" "$work/$name/demo.log"
done
show "trace log C:\\J_RxxIC.LOG" "$WINEPREFIX/drive_c/J_RxxIC.LOG"
echo
failed=0
for run in "${runs[@]}"; do
  read -r name scale shots <<<"$run"
  [ "$(cat "$work/$name/finished" 2>/dev/null || echo 1)" = 0 ] || failed=1
  for n in $shots; do
    if [ -f "$demo/zetdemo-$name-$n.png" ]; then
      echo "demo: screenshot $demo/zetdemo-$name-$n.png"
    else
      failed=1
    fi
  done
done
if [ $failed = 0 ]; then
  echo "demo: done"
else
  echo "demo: failed" >&2
  exit 1
fi
