#!/usr/bin/env bash
# The same source builds the same programs and package in another folder at another time:
#
#   tests/package/reproducible.sh SOURCE BINDIR MSI WORK TARGET...
#
# Copies the source (as it stands, with the commit and its time) into a folder under WORK,
# builds the shipped TARGETs there from nothing (one compiler at a time, at a lower
# priority than the tests beside it), and compares: every file of BINDIR (the
# tree's own build) with the new build's, byte for byte; then the package that
# tools/package.sh makes of the new build, signed with the test certificate beside MSI, with
# MSI, the package of the tree's build, byte for byte: the signed programs, the package and
# its bill of materials.
set -euo pipefail
[ $# -ge 5 ] || { echo "usage: $0 SOURCE BINDIR MSI WORK TARGET..." >&2; exit 2; }
src=$1 bin=$2 msi=$3 work=$4
pkg=$(dirname "$msi")
shift 4
start=$(date +%s)
. "$src/tools/stamp.sh"
export ZT_COMMIT SOURCE_DATE_EPOCH

rm -rf "$work"
copy=$work/elsewhere/zettray-source
mkdir -p "$copy"
cp -r "$src/CMakeLists.txt" "$src/cmake" "$src/src" "$src/kit" "$src/tools" "$copy/"
cmake -S "$copy" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=OFF >"$work/build.log" 2>&1 &&
  nice -n 10 cmake --build "$work/build" -j 1 --target "$@" >>"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; echo "reproducible: the copy does not build"; exit 1; }

failed=0
same() {
  if cmp -s "$1" "$2"; then
    echo "reproducible: same bytes: $3"
  else
    echo "reproducible: FAILED: $3 differs ($1, $2)"
    failed=1
  fi
}
for f in "$bin"/*; do
  same "$f" "$work/build/bin/$(basename "$f")" "unsigned $(basename "$f")"
done

name=$(basename "$msi" .msi)
SIGN_PFX= SIGN_CERT="$pkg/test-certificate/cert.pem" SIGN_KEY="$pkg/test-certificate/key.pem" SIGN_PASS= \
  SIGN_TIMESTAMP_URL= "$copy/tools/package.sh" x86 "$work/build/bin" "$work/pkg" >/dev/null
for f in "$pkg/$name"/*; do
  same "$f" "$work/pkg/$name/$(basename "$f")" "signed $(basename "$f")"
done
same "$msi" "$work/pkg/$name.msi" "$name.msi"
same "$pkg/$name.cdx.json" "$work/pkg/$name.cdx.json" "$name.cdx.json"
echo "reproducible: built and compared in $(( $(date +%s) - start )) s"
[ $failed = 0 ] && rm -rf "$work"
exit $failed
