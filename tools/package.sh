#!/usr/bin/env bash
# Builds the signed MSI package of one architecture with wixl from kit/msi/zettray.wxs:
#
#   tools/package.sh ARCH BINDIR OUTDIR [VERSION]
#
# ARCH is x86 or x64, BINDIR the folder of the built programs of that architecture.
# VERSION (major.minor.patch) defaults to the product's, from src/res/version.h. Writes
# into OUTDIR:
#   zettray-VERSION-ARCH/           the programs and libraries of the package, signed
#   zettray-VERSION-ARCH.msi        the package, signed, holding those files
#   zettray-VERSION-ARCH.cdx.json   its bill of materials (CycloneDX)
# and prints the package's path. Signing: see tools/sign.sh (SIGN_PFX and SIGN_PASS, or
# SIGN_CERT and SIGN_KEY; without them a throw-away test certificate). SIGN=no signs
# nothing: BINDIR's files go in as they are (tools/check-package.sh packs a package's
# signed files again so).
#
# The same commit gives the same package in any folder at any time: its dates (summary
# information, the cabinet's file times, the signing time) are SOURCE_DATE_EPOCH, else the
# commit's time; its product and package codes are derived from the version, the
# architecture, the commit and the files that go in.
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

files="zettray.exe zetres.dll zetresja.dll zetprn.dll J_R10RN1.EXE zettool.exe zetsetup.exe zetmsi.dll"
for f in $files; do
  [ -f "$bin/$f" ] || { echo "package: $bin/$f is missing (build the $arch programs first)" >&2; exit 1; }
done
for tool in wixl msiinfo msibuild faketime; do
  command -v $tool >/dev/null || { echo "package: $tool is missing (make deps installs it)" >&2; exit 1; }
done

. "$root/tools/stamp.sh"
sign() { [ "${SIGN:-}" = no ] || "$root/tools/sign.sh" "$out" "$@"; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
name=zettray-$version-$arch
msi=$out/$name.msi
kit=$out/$name
rm -rf "$kit" "$msi"
mkdir "$kit"
for f in $files; do cp "$bin/$f" "$kit/$f"; done
sign "$kit"/*
# The cabinet keeps each file's time.
touch -d "@$SOURCE_DATE_EPOCH" "$kit"/*

# The product and package codes: what goes in decides them.
inputs="$version $arch $ZT_COMMIT $(cd "$kit" && sha256sum $files) $(sha256sum <"$root/kit/msi/zettray.wxs")"
product_code=$(uuid_of "product $inputs" | tr a-f A-F)
package_code=$(uuid_of "package $inputs" | tr a-f A-F)

# wixl takes each file's Source relative to the folder it runs in.
(cd "$kit" && at_epoch wixl -a "$arch" -D Version="$version" -D Arch="$arch" -D ProductCode="$product_code" \
  -o "$msi" "$root/kit/msi/zettray.wxs")

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
    at_epoch msibuild "$msi" -q "UPDATE CustomAction SET Type = $(( ${entry#*:} | ${kind#*:} )) WHERE Action = '${entry%%:*}'"
  done
done
# wixl makes a new package code each time: the derived one replaces it.
summary() { msiinfo suminfo "$msi" | sed -n "s/^$1: //p"; }
at_epoch msibuild "$msi" -s "$(summary Subject)" "$(summary Author)" "$(summary Template)" "{$package_code}"

sign "$msi"
"$root/tools/sbom.sh" "$msi" "$arch" "$version" >"$out/$name.cdx.json"
echo "$msi"
