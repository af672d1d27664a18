# Sourced by the packaging scripts: what makes a package the same however often, wherever
# and whenever it is built from one commit.
#   ZT_COMMIT                the commit of the source: given by the caller, else git's
#                            ("none" outside a git checkout)
#   SOURCE_DATE_EPOCH        exported: the time that the package's dates are taken from;
#                            given by the caller, else the commit's time (else 1980-01-01)
#   at_epoch CMD...          runs CMD with the clock standing at SOURCE_DATE_EPOCH (UTC), for
#                            tools that write the time of their run (wixl's summary dates)
#   uuid_of TEXT             a UUID that TEXT always gives (version 5 form, from SHA-256)
zt_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -z "${ZT_COMMIT:-}" ]; then
  ZT_COMMIT=$(git -C "$zt_root" rev-parse HEAD 2>/dev/null || echo none)
fi
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$zt_root" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

at_epoch() { TZ=UTC faketime -f "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')" "$@"; }

uuid_of() {
  local h
  h=$(printf '%s' "$1" | sha256sum)
  printf '%s-%s-5%s-%x%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" $(( (0x${h:16:1} & 3) | 8 )) "${h:17:3}" "${h:20:12}"
}
