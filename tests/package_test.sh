#!/usr/bin/env bash
# tests/package_test.sh BUILD_DIR: makes the Debian package from the build in
# BUILD_DIR with scripts/package, checks that it holds everything that belongs
# in it, unpacks it into a scratch folder and runs the unpacked varnel-cli on
# the unpacked sample image.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)

"$root/scripts/package" "$build"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/package/varnel_${version}_amd64.deb
[ -f "$deb" ] || { echo "no package named $deb"; exit 1; }

fail() { echo "package test: $*"; exit 1; }

listing=$(dpkg-deb -c "$deb")
echo "$listing"
for path in usr/bin/varnel usr/bin/varnel-cli \
            usr/libexec/varnel/varnel usr/libexec/varnel/pokrun \
            usr/libexec/varnel/Vendor.IDs usr/libexec/varnel/Varnel.chm \
            usr/share/varnel/sample.rom \
            usr/share/applications/io.github.varnel.Varnel.desktop \
            usr/share/metainfo/io.github.varnel.Varnel.metainfo.xml \
            usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,256x256}/apps/varnel.png \
            usr/share/icons/hicolor/scalable/apps/varnel.svg \
            usr/share/man/man1/varnel.1.gz usr/share/man/man1/varnel-cli.1.gz \
            usr/share/doc/varnel/copyright usr/share/doc/varnel/changelog.gz; do
  grep -Eq " \./$path( -> |$)" <<<"$listing" || fail "the package lacks /$path"
done

# The programs' libraries come from Debian's packages.
depends=$(dpkg-deb -f "$deb" Depends)
depended_on=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
for package in libqt6widgets6 libchm1 libstdc++6 qt6-qpa-plugins; do
  grep -qxF "$package" <<<"$depended_on" || fail "Depends lacks $package: $depends"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
[ "$(readlink -f "$scratch/usr/bin/varnel")" = "$scratch/usr/libexec/varnel/varnel" ] ||
  fail "usr/bin/varnel does not lead to usr/libexec/varnel/varnel"

# The unpacked varnel-cli, away from any build tree, on the unpacked sample.
sample=$scratch/usr/share/varnel/sample.rom
report=$("$scratch/usr/bin/varnel-cli" info "$sample") || fail "varnel-cli info exited with $?"
grep -qxF "$sample: valid ATI video BIOS, checksums sound" <<<"$report" ||
  fail "varnel-cli info does not call the packaged sample valid: $report"
echo "package ok: $deb"
