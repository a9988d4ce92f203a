#!/usr/bin/env bash
# Makes the installer from a 64-bit and a 32-bit Release build of Lullcast, and its SHA-256 sum.
#
#   bash tools/make_installer.sh BUILD64 BUILD32 OUTDIR
#
# Writes OUTDIR/Lullcast-VERSION-setup.exe, OUTDIR/SHA256SUMS and the manifest of the Windows
# package manager in OUTDIR/winget (version, installer and default locale files); the version is
# the one the builds were made with. The manifest names the installer's download address and the
# publisher's web site as LULLCAST_DOWNLOAD_URL (the folder the installer is published in) and
# LULLCAST_PUBLISHER_URL give them, or placeholders to be replaced before it is submitted. The installer is the same byte for byte wherever and whenever it is made
# from the same builds: its files carry the time of the source's last commit (SOURCE_DATE_EPOCH,
# taken from git unless set). With LULLCAST_SIGN_PKCS12 and LULLCAST_SIGN_PASSWORD_FILE set, every
# program, library, the uninstaller and the installer are signed (tools/sign.sh).
set -euo pipefail
[ $# -eq 3 ] || { sed -n '2,14p' "$0"; exit 2; }
top=$(cd "$(dirname "$0")/.." && pwd)
build64=$(cd "$1" && pwd)
build32=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
version=$(sed -n 's/^#define LULLCAST_VERSION_TEXT "\(.*\)"$/\1/p' "$build64/generated/Version.h")
[ -n "$version" ] || { echo "no version in $build64/generated/Version.h" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null) ||
        { echo "not a git checkout: set SOURCE_DATE_EPOCH to the source's time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH
signing=
if [ -n "${LULLCAST_SIGN_PKCS12:-}" ] && [ -n "${LULLCAST_SIGN_PASSWORD_FILE:-}" ]; then
    signing=1
else
    echo "unsigned: LULLCAST_SIGN_PKCS12 and LULLCAST_SIGN_PASSWORD_FILE name no certificate"
fi

# The installer takes the files from a folder of its own, where they carry the source's time
# (the installer keeps each file's time) and are signed when signing.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/64" "$stage/32"
for file in "$build64/Lullcast.exe" "$build64/Lullcast.dll"; do
    [ -f "$file" ] || { echo "missing $file" >&2; exit 1; }
    cp "$file" "$stage/64/"
done
for file in "$build32/Lullcast.exe" "$build32/Lullcast.dll" "$build32/Lullcast32.exe" "$build32/Lullcast32.dll"; do
    [ -f "$file" ] || { echo "missing $file" >&2; exit 1; }
    cp "$file" "$stage/32/"
done
sign=()
if [ -n "$signing" ]; then
    bash "$top/tools/sign.sh" "$stage"/64/* "$stage"/32/*
    sign=(-DSIGN="$top/tools/sign.sh")
fi
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/64/* "$stage"/32/*

installer="Lullcast-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSOURCE="$top" -DBUILD64="$stage/64" -DBUILD32="$stage/32" \
    "${sign[@]}" -DOUTFILE="$out/$installer" "$top/installer/Lullcast.nsi"
[ -z "$signing" ] || bash "$top/tools/sign.sh" "$out/$installer"
(cd "$out" && sha256sum "$installer" > SHA256SUMS)

# The manifest: a per-user NSIS install, silent with /S, found again among the installed programs
# by its uninstall entry's key (the product code) and what that entry shows.
sha=$(sha256sum "$out/$installer" | cut -d' ' -f1)
download=${LULLCAST_DOWNLOAD_URL:-https://download.your-domain.example/lullcast}
publisher_url=${LULLCAST_PUBLISHER_URL:-https://www.your-domain.example}
id=Kestrova.Lullcast
manifest="# Made by tools/make_installer.sh.
PackageIdentifier: $id
PackageVersion: $version"
mkdir -p "$out/winget"
cat > "$out/winget/$id.yaml" <<END
$manifest
DefaultLocale: en-US
ManifestType: version
ManifestVersion: 1.6.0
END
cat > "$out/winget/$id.installer.yaml" <<END
$manifest
InstallerType: nullsoft
Scope: user
InstallModes:
  - interactive
  - silent
  - silentWithProgress
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
UpgradeBehavior: install
ProductCode: Lullcast
AppsAndFeaturesEntries:
  - DisplayName: Lullcast
    Publisher: Kestrova
    DisplayVersion: $version
    ProductCode: Lullcast
Installers:
  - Architecture: x64
    InstallerUrl: $download/$installer
    InstallerSha256: ${sha^^}
  - Architecture: x86
    InstallerUrl: $download/$installer
    InstallerSha256: ${sha^^}
ManifestType: installer
ManifestVersion: 1.6.0
END
cat > "$out/winget/$id.locale.en-US.yaml" <<END
$manifest
PackageLocale: en-US
Publisher: Kestrova
PublisherUrl: $publisher_url
PackageName: Lullcast
License: Copyright (C) 2026 Kestrova
ShortDescription: Shows news while you wait for your computer.
Description: A small news window docks below any window that shows a long operation (a copy, a print job, a download) and shows one news item at a time.
Tags:
  - news
  - rss
  - tray
ManifestType: defaultLocale
ManifestVersion: 1.6.0
END
echo "$out/$installer"
