#!/usr/bin/env bash
# Signs Windows programs, libraries and MSI packages in place with Authenticode
# (osslsigncode, SHA-256):
#
#   tools/sign.sh KEYDIR FILE...
#
# The key and certificate come from the environment:
#   SIGN_PFX, SIGN_PASS        a PKCS#12 file and its password, or
#   SIGN_CERT, SIGN_KEY        PEM files: the certificate (with its chain) and the private
#                              key (SIGN_PASS when the key is encrypted)
#   SIGN_TIMESTAMP_URL         an RFC 3161 time-stamp server (none: no time stamp)
# Without a key it signs with a throw-away test certificate that it makes once in
# KEYDIR/test-certificate (and says so): the signing path always runs, but no Windows
# trusts that certificate.
#
# The signature's signing time is SOURCE_DATE_EPOCH when it is set (else the time of
# signing): without a time stamp, the same file signed with the same key then gives the
# same bytes.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 KEYDIR FILE..." >&2; exit 2; }
keydir=$1
shift
for tool in osslsigncode openssl; do
  command -v $tool >/dev/null || { echo "sign: $tool is missing (make deps installs it)" >&2; exit 1; }
done

secrets=$(mktemp -d)
trap 'rm -rf "$secrets"' EXIT
chmod 700 "$secrets"
# The password goes to osslsigncode in a file, never on a command line.
printf '%s' "${SIGN_PASS:-}" >"$secrets/pass"

if [ -n "${SIGN_PFX:-}" ]; then
  [ -f "$SIGN_PFX" ] || { echo "sign: SIGN_PFX $SIGN_PFX is no file" >&2; exit 1; }
  key=(-pkcs12 "$SIGN_PFX" -readpass "$secrets/pass")
  with="with $SIGN_PFX"
elif [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
  for f in "${SIGN_CERT:-}" "${SIGN_KEY:-}"; do
    [ -f "$f" ] || { echo "sign: SIGN_CERT and SIGN_KEY must both name PEM files ('$f' is none)" >&2; exit 1; }
  done
  key=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
  [ -n "${SIGN_PASS:-}" ] && key+=(-readpass "$secrets/pass")
  with="with $SIGN_CERT"
else
  test_dir=$keydir/test-certificate
  if [ ! -f "$test_dir/cert.pem" ] || [ ! -f "$test_dir/key.pem" ]; then
    mkdir -p "$test_dir"
    openssl req -x509 -newkey rsa:3072 -sha256 -nodes -days 825 -keyout "$test_dir/key.pem" \
      -out "$test_dir/cert.pem" -subj "/O=ORVEL/CN=ORVEL Zetwatch test signing (not trusted)" \
      -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
  fi
  key=(-certs "$test_dir/cert.pem" -key "$test_dir/key.pem")
  with="with the throw-away test certificate $test_dir/cert.pem, which no Windows trusts (no SIGN_PFX,"
  with+=" or SIGN_CERT and SIGN_KEY, given)"
fi
stamp=()
[ -n "${SOURCE_DATE_EPOCH:-}" ] && stamp=(-time "$SOURCE_DATE_EPOCH")
[ -n "${SIGN_TIMESTAMP_URL:-}" ] && stamp+=(-ts "$SIGN_TIMESTAMP_URL")

for file in "$@"; do
  rm -f "$file.signed"
  osslsigncode sign "${key[@]}" -h sha256 -n "ORVEL Zetwatch" "${stamp[@]}" \
    -in "$file" -out "$file.signed" >"$secrets/log" 2>&1 ||
    { cat "$secrets/log" >&2; rm -f "$file.signed"; echo "sign: $file could not be signed" >&2; exit 1; }
  mv "$file.signed" "$file"
done
echo "sign: $# file(s) signed $with$([ -n "${SIGN_TIMESTAMP_URL:-}" ] && echo ", time-stamped")" >&2
