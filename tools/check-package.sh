#!/usr/bin/env bash
# Checks a signed package against a build of the same commit from this source:
#
#   tools/check-package.sh MSI BINDIR [CAFILE]
#
# BINDIR holds the build's own, unsigned programs (build/bin for an x86 package,
# build/bin64 for an x64 one). The check passes when
#   - the package's signature and that of every program and library in it (the installed
#     files and the actions' library) verify, chained to CAFILE (default: the certificates
#     that this system trusts);
#   - each of them is the build's file of the same name, signed: its signed digest (which
#     leaves the signature out) is the digest of BINDIR's file, and the package holds each
#     of BINDIR's files that it should;
#   - its tables and streams are the very ones that this source makes of those signed
#     files (tools/package.sh run again on them, with the package's own dates and without
#     signing): nothing in the package came from elsewhere.
# It prints what it checked and ends with 0 when everything holds, 1 when anything does not.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 2 ] && [ $# -le 3 ] || { echo "usage: $0 MSI BINDIR [CAFILE]" >&2; exit 2; }
msi=$1 bin=$2 ca=${3:-}
for tool in osslsigncode openssl msiextract msiinfo; do
  command -v $tool >/dev/null || { echo "check: $tool is missing (make deps installs it)" >&2; exit 2; }
done
[ -f "$msi" ] && [ -d "$bin" ] || { echo "check: $msi or $bin is missing" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
bad() { echo "check: FAILED: $*"; failed=1; }

verify() { osslsigncode verify ${ca:+-CAfile "$ca"} -in "$1" >"$work/verify.txt" 2>&1; }
signed_digest() { sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' "$work/verify.txt" | head -1; }
# The code digest of an unsigned file: it is the same whoever signs it, so a signature
# with a key made for the purpose shows it.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=digest" -keyout "$work/key.pem" \
  -out "$work/cert.pem" 2>/dev/null
code_digest() {
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -h sha256 -in "$1" -out "$work/digest.tmp" \
    >/dev/null 2>&1 && osslsigncode verify -in "$work/digest.tmp" 2>/dev/null |
    sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' | head -1
  rm -f "$work/digest.tmp"
}

if verify "$msi"; then
  echo "check: $(basename "$msi"): signature verified ($(sed -n 's/^[[:space:]]*Subject: //p' "$work/verify.txt" | head -1))"
else
  bad "$(basename "$msi"): its signature does not verify"
fi

# The package's programs and libraries: the installed files, and the libraries of its
# actions (Binary streams), named as the package's source names them.
mkdir "$work/files" "$work/tree"
msi=$(cd "$(dirname "$msi")" && pwd)/$(basename "$msi")
# msiextract writes the Binary streams into its current folder, whatever -C says.
(cd "$work/tree" && msiextract -C . "$msi" >/dev/null) || bad "$(basename "$msi"): its files cannot be extracted"
rm -rf "$work/tree/Binary"
find "$work/tree" -type f -exec mv {} "$work/files/" \;
while read -r id file; do
  msiinfo extract "$msi" "Binary.$id" >"$work/files/$file" 2>/dev/null || bad "no action library $id ($file)"
done < <(sed -n 's/.*<Binary Id="\([^"]*\)" SourceFile="\([^"]*\)".*/\1 \2/p' "$root/kit/msi/zettray.wxs")

for f in "$work/files"/*; do
  name=$(basename "$f")
  case ${name,,} in *.exe|*.dll) ;; *) continue ;; esac
  if ! verify "$f"; then
    bad "$name: not signed, or its signature does not verify"
    continue
  fi
  signed=$(signed_digest)
  if [ ! -f "$bin/$name" ]; then
    bad "$name: the build has no such file"
  elif [ "$signed" != "$(code_digest "$bin/$name")" ]; then
    bad "$name: not the build's own (signed digest $signed)"
  else
    echo "check: $name: signed, the build's own (digest $signed)"
  fi
done
for f in "$bin"/*; do
  name=$(basename "$f")
  case ${name,,} in *.exe|*.dll) ;; *) continue ;; esac
  [ -f "$work/files/$name" ] || bad "$name: the build's file is not in the package"
done

# The same package again from the same signed files, with the package's own dates.
summary() { TZ=UTC msiinfo suminfo "$msi" | sed -n "s/^$1: //p"; }
property() { msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' -v p="$1" '$1 == p { print $2 }'; }
case $(summary Template) in x64*) arch=x64 ;; *) arch=x86 ;; esac
if SOURCE_DATE_EPOCH=$(TZ=UTC date -d "$(summary Created)" +%s) SIGN=no \
  "$root/tools/package.sh" "$arch" "$work/files" "$work/again" "$(property ProductVersion)" >"$work/again.log" 2>&1; then
  again=$(ls "$work/again"/*.msi)
  differ=""
  cd "$work" # the export of a table of streams writes them into the current folder
  for t in $(msiinfo tables "$msi") $(msiinfo tables "$again"); do
    cmp -s <(msiinfo export "$msi" "$t" 2>&1) <(msiinfo export "$again" "$t" 2>&1) || differ+=" table:$t"
  done
  for s in $(msiinfo streams "$msi" | grep -v DigitalSignature) $(msiinfo streams "$again"); do
    cmp -s <(msiinfo extract "$msi" "$s" 2>&1) <(msiinfo extract "$again" "$s" 2>&1) || differ+=" stream:$s"
  done
  if [ -z "$differ" ]; then
    echo "check: $(basename "$msi"): every table and stream is what this source makes of its files"
  else
    bad "$(basename "$msi"): not what this source makes of its files:$(echo "$differ" | tr ' ' '\n' | sort -u | tr '\n' ' ')"
  fi
else
  cat "$work/again.log"
  bad "$(basename "$msi"): this source cannot make the package again"
fi

[ $failed = 0 ] && echo "check: $(basename "$msi") holds this source's programs, signed" || echo "check: $(basename "$msi") FAILED"
exit $failed
