#!/usr/bin/env bash
# Signs Windows programs in place (Authenticode, SHA-256) with the certificate the environment
# names; the release's tools call it for every file they ship.
#
#   LULLCAST_SIGN_PKCS12=cert.p12 LULLCAST_SIGN_PASSWORD_FILE=password.txt bash tools/sign.sh FILE...
#   ... bash tools/sign.sh --copy-as NAME FILE
#
# LULLCAST_SIGN_TIMESTAMP_URL, when set, names an RFC 3161 time stamp server whose stamp keeps the
# signature valid after the certificate expires. LULLCAST_SIGNED_COPIES, when set, names a folder
# that receives a copy of every file signed (the uninstaller, for one, exists only inside the
# installer otherwise): FOLDER/NAME goes to LULLCAST_SIGNED_COPIES/FOLDER/NAME, or to
# LULLCAST_SIGNED_COPIES/NAME with the name --copy-as gives.
set -euo pipefail
copy_as=
if [ "${1:-}" = --copy-as ] && [ $# -eq 3 ]; then
    copy_as=$2
    shift 2
fi
[ $# -ge 1 ] || { sed -n '2,12p' "$0"; exit 2; }
: "${LULLCAST_SIGN_PKCS12:?names no certificate}" "${LULLCAST_SIGN_PASSWORD_FILE:?names no password file}"
stamp=()
[ -z "${LULLCAST_SIGN_TIMESTAMP_URL:-}" ] || stamp=(-ts "$LULLCAST_SIGN_TIMESTAMP_URL")
for file in "$@"; do
    signed="$file.signed"
    osslsigncode sign -pkcs12 "$LULLCAST_SIGN_PKCS12" -readpass "$LULLCAST_SIGN_PASSWORD_FILE" \
        -h sha256 -n Lullcast "${stamp[@]}" -in "$file" -out "$signed" >/dev/null
    mv -f "$signed" "$file"
    if [ -n "${LULLCAST_SIGNED_COPIES:-}" ]; then
        copy="$LULLCAST_SIGNED_COPIES/$copy_as"
        [ -n "$copy_as" ] || copy="$LULLCAST_SIGNED_COPIES/$(basename "$(dirname "$file")")/$(basename "$file")"
        mkdir -p "$(dirname "$copy")"
        cp "$file" "$copy"
    fi
done
