#!/usr/bin/env bash
# Makes the installer from a 64-bit and a 32-bit Release build of Lullcast, and its SHA-256 sum.
#
#   bash tools/make_installer.sh BUILD64 BUILD32 OUTDIR
#
# Writes OUTDIR/Lullcast-VERSION-setup.exe and OUTDIR/SHA256SUMS; the version is the one the
# builds were made with.
set -euo pipefail
[ $# -eq 3 ] || { sed -n '2,7p' "$0"; exit 2; }
top=$(cd "$(dirname "$0")/.." && pwd)
build64=$(cd "$1" && pwd)
build32=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
version=$(sed -n 's/^#define LULLCAST_VERSION_TEXT "\(.*\)"$/\1/p' "$build64/generated/Version.h")
[ -n "$version" ] || { echo "no version in $build64/generated/Version.h" >&2; exit 1; }
for file in "$build64/Lullcast.exe" "$build64/Lullcast.dll" "$build32/Lullcast.exe" "$build32/Lullcast.dll" \
            "$build32/Lullcast32.exe" "$build32/Lullcast32.dll"; do
    [ -f "$file" ] || { echo "missing $file" >&2; exit 1; }
done
installer="Lullcast-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSOURCE="$top" -DBUILD64="$build64" -DBUILD32="$build32" \
    -DOUTFILE="$out/$installer" "$top/installer/Lullcast.nsi"
(cd "$out" && sha256sum "$installer" > SHA256SUMS)
echo "$out/$installer"
