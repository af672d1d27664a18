#!/usr/bin/env bash
# Builds the MSI package of one architecture with wixl from kit/msi/zettray.wxs:
#
#   tools/package.sh ARCH BINDIR OUTDIR [VERSION]
#
# ARCH is x86 or x64, BINDIR the folder of the built programs of that architecture.
# VERSION (major.minor.patch) defaults to the product's, from src/res/version.h. Writes
# OUTDIR/zettray-VERSION-ARCH.msi and prints its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 3 ] && [ $# -le 4 ] || { echo "usage: $0 x86|x64 BINDIR OUTDIR [VERSION]" >&2; exit 2; }
arch=$1 bin=$2 out=$3 version=${4:-}
case $arch in x86|x64) ;; *) echo "package: ARCH must be x86 or x64, not '$arch'" >&2; exit 2 ;; esac

if [ -z "$version" ]; then
  part() { sed -n "s/^#define ZT_VERSION_$1 \\([0-9][0-9]*\\)\$/\\1/p" "$root/src/res/version.h"; }
  version="$(part MAJOR).$(part MINOR).$(part PATCH)"
fi
if ! [[ $version =~ ^[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,5}$ ]]; then
  echo "package: '$version' is not a package version (major.minor.patch, at most 255.255.65535)" >&2
  exit 2
fi

for f in zettray.exe zetres.dll zetprn.dll J_R10RN1.EXE zettool.exe zetsetup.exe zetmsi.dll; do
  [ -f "$bin/$f" ] || { echo "package: $bin/$f is missing (build the $arch programs first)" >&2; exit 1; }
done
for tool in wixl msiinfo msibuild; do
  command -v $tool >/dev/null || { echo "package: $tool is missing (make deps installs it)" >&2; exit 1; }
done

mkdir -p "$out"
msi="$(cd "$out" && pwd)/zettray-$version-$arch.msi"
# wixl takes each file's Source relative to the folder it runs in.
(cd "$bin" && wixl -a "$arch" -D Version="$version" -D Arch="$arch" -o "$msi" \
  "$root/kit/msi/zettray.wxs")

# wixl writes no rollback or commit actions: the deferred actions named *Rollback get the
# rollback bit (msidbCustomActionTypeRollback, 0x100) in their type, those named *Commit the
# commit bit (msidbCustomActionTypeCommit, 0x200).
marked() {
  msiinfo export "$msi" CustomAction | awk -F'\t' -v end="$1" 'NR > 3 && $1 ~ end "$" { print $1 ":" $2 }'
}
for kind in Rollback:0x100 Commit:0x200; do
  entries=$(marked "${kind%%:*}")
  [ -n "$entries" ] || { echo "package: no ${kind%%:*} actions in $msi" >&2; rm -f "$msi"; exit 1; }
  for entry in $entries; do
    msibuild "$msi" -q "UPDATE CustomAction SET Type = $(( ${entry#*:} | ${kind#*:} )) WHERE Action = '${entry%%:*}'"
  done
done
echo "$msi"
