#!/usr/bin/env bash
# Writes the bill of materials of a package (CycloneDX 1.5, JSON) to standard output:
#
#   tools/sbom.sh MSI ARCH VERSION
#
# The product with its version and commit, the package and the files in it (with their
# SHA-256), and what the toolchain links into every program and library statically: the
# mingw-w64 runtime, winpthreads, libstdc++ and libgcc, each with the Debian package (and
# its version) that it came from on the machine that built the package. Dates are
# SOURCE_DATE_EPOCH's.
set -euo pipefail
. "$(dirname "$0")/stamp.sh"
[ $# -eq 3 ] || { echo "usage: $0 MSI ARCH VERSION" >&2; exit 2; }
msi=$1 arch=$2 version=$3
case $arch in x86) triplet=i686 ;; x64) triplet=x86-64 ;; *) echo "sbom: ARCH must be x86 or x64" >&2; exit 2 ;; esac
kit=${msi%.msi}
[ -f "$msi" ] && [ -d "$kit" ] || { echo "sbom: $msi or its folder $kit is missing" >&2; exit 1; }

sha() { sha256sum "$1" | cut -d' ' -f1; }
# "a", "b", "c"
quoted_list() { local out="" x; for x in "$@"; do out+="${out:+, }\"$x\""; done; echo "$out"; }
files=()
for f in "$kit"/*; do files+=("$(basename "$f")"); done
runtime=(mingw-w64-runtime winpthreads libgcc libstdc++)
msi_hash=$(sha "$msi")
serial=$(uuid_of "sbom $msi_hash")
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")

# One statically linked part: its name, what it is, and the Debian package it came from.
linked() {
  local name=$1 description=$2 package=$3 found deb_version deb_arch
  found=$(dpkg-query -W -f='${Version} ${Architecture}' "$package" 2>/dev/null) ||
    { echo "sbom: the Debian package $package is not installed" >&2; exit 1; }
  read -r deb_version deb_arch <<<"$found"
  local purl="pkg:deb/debian/${package//+/%2B}@${deb_version//+/%2B}?arch=$deb_arch"
  [ -n "$codename" ] && purl+="&distro=$codename"
  printf '    {"type": "library", "bom-ref": "%s", "name": "%s", "version": "%s",\n' "$name" "$name" "$deb_version"
  printf '     "description": "%s; linked statically into every program and library", "purl": "%s",\n' \
    "$description" "$purl"
  printf '     "properties": [{"name": "debian:package", "value": "%s"}]},\n' "$package"
}

{
  cat <<EOF
{
  "bomFormat": "CycloneDX",
  "specVersion": "1.5",
  "serialNumber": "urn:uuid:$serial",
  "version": 1,
  "metadata": {
    "timestamp": "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%dT%H:%M:%SZ')",
    "component": {
      "type": "application", "bom-ref": "product", "name": "ORVEL Zetwatch", "version": "$version",
      "supplier": {"name": "ORVEL"},
      "properties": [{"name": "vcs:commit", "value": "$ZT_COMMIT"}, {"name": "architecture", "value": "$arch"}]
    }
  },
  "components": [
    {"type": "file", "bom-ref": "$(basename "$msi")", "name": "$(basename "$msi")", "version": "$version",
     "hashes": [{"alg": "SHA-256", "content": "$msi_hash"}]},
EOF
  for f in "${files[@]}"; do
    printf '    {"type": "file", "bom-ref": "%s", "name": "%s", "version": "%s",\n' "$f" "$f" "$version"
    printf '     "hashes": [{"alg": "SHA-256", "content": "%s"}]},\n' "$(sha "$kit/$f")"
  done
  linked mingw-w64-runtime "the mingw-w64 C runtime start-up and support library" "mingw-w64-$triplet-dev"
  linked winpthreads "the mingw-w64 POSIX threads library" "mingw-w64-$triplet-dev"
  linked libgcc "the GCC support library" "gcc-mingw-w64-$triplet-posix"
  linked libstdc++ "the GCC C++ standard library" "g++-mingw-w64-$triplet-posix" | sed '$ s/},$/}/'
  echo '  ],'
  # The product is its package, the package its files, and each file holds the runtime.
  echo '  "dependencies": ['
  printf '    {"ref": "product", "dependsOn": ["%s"]},\n' "$(basename "$msi")"
  printf '    {"ref": "%s", "dependsOn": [%s]},\n' "$(basename "$msi")" "$(quoted_list "${files[@]}")"
  for f in "${files[@]}"; do
    sep=,
    [ "$f" = "${files[-1]}" ] && sep=
    printf '    {"ref": "%s", "dependsOn": [%s]}%s\n' "$f" "$(quoted_list "${runtime[@]}")" "$sep"
  done
  echo '  ]'
  echo '}'
}
