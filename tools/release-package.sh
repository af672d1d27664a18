#!/usr/bin/env bash
# Builds the MSI package of the last release listed in releases.txt, from that release's
# own commit, and prints its path:
#
#   tools/release-package.sh ARCH CACHE
#
# ARCH is x86 or x64. CACHE is a folder under build/ that keeps what this makes: the
# release's sources (from git, at its commit), its build tree (only what the package
# needs: the programs, not their tests) and the package, CACHE/<version>-ARCH/
# zettray-<version>-ARCH.msi. A package that is there already is used as it is. Several
# callers at once (both test runs) wait for one another. Refuses when the working tree's
# version (src/res/version.h) is not newer than the release: installing it over the
# release would not be an upgrade.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 2 ] || { echo "usage: $0 x86|x64 CACHE" >&2; exit 2; }
arch=$1 cache=$2
case $arch in
  x86) toolchain=mingw-i686.cmake ;;
  x64) toolchain=mingw-x86_64.cmake ;;
  *) echo "release-package: ARCH must be x86 or x64, not '$arch'" >&2; exit 2 ;;
esac

read -r version commit _ < <(grep -v '^#' "$root/releases.txt" | awk 'NF' | tail -n 1) || true
if ! [[ ${version:-} =~ ^[0-9]+\.[0-9]+\.[0-9]+$ && ${commit:-} =~ ^[0-9a-f]{7,40}$ ]]; then
  echo "release-package: the last line of releases.txt names no version and commit" >&2
  exit 1
fi
part() { sed -n "s/^#define ZT_VERSION_$1 \\([0-9][0-9]*\\)\$/\\1/p" "$root/src/res/version.h"; }
current="$(part MAJOR).$(part MINOR).$(part PATCH)"
if [ "$(printf '%s\n%s\n' "$version" "$current" | sort -V | tail -n 1)" != "$current" ] || [ "$version" = "$current" ]; then
  echo "release-package: the working tree's version $current is not newer than the release $version" \
    "(raise src/res/version.h)" >&2
  exit 1
fi

mkdir -p "$cache"
cache=$(cd "$cache" && pwd)
out="$cache/$version-$arch"
msi="$out/zettray-$version-$arch.msi"
exec 9>"$cache/.lock"
flock 9
if [ -f "$msi" ]; then
  echo "$msi"
  exit 0
fi
src="$cache/src-$commit"
if [ ! -f "$src/.complete" ]; then
  git -C "$root" cat-file -e "$commit^{commit}" 2>/dev/null || {
    echo "release-package: the commit $commit of release $version is not in this clone (fetch its history)" >&2
    exit 1
  }
  rm -rf "$src"
  mkdir -p "$src"
  git -C "$root" archive "$commit" | tar -x -C "$src"
  touch "$src/.complete"
fi
tree="$out/build"
cmake -S "$src" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=OFF >/dev/null
# At a lower priority than the tests that run beside it.
nice -n 10 cmake --build "$tree" -j "${JOBS:-2}" --target zettray zetres zetprn statuswin zettool zetsetup zetmsi \
  >/dev/null
# The release's own package script and package source, as it shipped.
bash "$src/tools/package.sh" "$arch" "$tree/bin" "$out" "$version" >/dev/null
echo "$msi"
