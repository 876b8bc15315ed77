#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that everything
# lands in its usual place.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for path in bin/varnel bin/varnel-cli libexec/varnel/varnel libexec/varnel/Vendor.IDs libexec/varnel/pokrun libexec/varnel/Varnel.chm \
            share/applications/io.github.varnel.Varnel.desktop share/icons/hicolor/scalable/apps/varnel.svg \
            share/man/man1/varnel-cli.1.gz share/man/man1/varnel.1.gz \
            share/metainfo/io.github.varnel.Varnel.metainfo.xml share/varnel/sample.rom; do
  [ -e "$prefix/$path" ] || { echo "missing after install: $path"; exit 1; }
done
# Each size of the icon, a PNG of the size its folder names (width and
# height: the first two numbers of the header, big-endian, after 16 bytes).
for size in 16 24 32 48 256; do
  png=share/icons/hicolor/${size}x${size}/apps/varnel.png
  [ -e "$prefix/$png" ] || { echo "missing after install: $png"; exit 1; }
  dimensions=$(od -An -tu4 --endian=big -j16 -N8 "$prefix/$png" | xargs)
  [ "$dimensions" = "$size $size" ] || { echo "$png is not ${size}x$size but ${dimensions/ /x}"; exit 1; }
done
# bin/varnel leads to the program beside its vendor list.
[ "$(readlink -f "$prefix/bin/varnel")" = "$(readlink -f "$prefix/libexec/varnel/varnel")" ] ||
  { echo "bin/varnel does not lead to libexec/varnel/varnel"; exit 1; }
grep -q '^1002 ' "$prefix/libexec/varnel/Vendor.IDs" || { echo "Vendor.IDs lacks 1002"; exit 1; }
# The desktop passes the file opened with Varnel, of the type installed.
grep -q '^Exec=varnel %f$' "$prefix/share/applications/io.github.varnel.Varnel.desktop"
grep -q '^MimeType=application/x-varnel-rom;$' "$prefix/share/applications/io.github.varnel.Varnel.desktop"
grep -q 'type="application/x-varnel-rom"' "$prefix/share/mime/packages/io.github.varnel.Varnel.xml"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/io.github.varnel.Varnel.desktop"
fi
# Usage and version need no display.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/varnel" --version)" = "varnel 1.0" ] ||
  { echo "varnel --version does not print its version"; exit 1; }
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/varnel" --help | grep -q '^Usage: varnel \[FILE\]' ||
  { echo "varnel --help does not print its usage"; exit 1; }
# Installed, varnel-cli dump finds pokrun in the program folder: it reports
# pokrun's own outcome (no card, no permission, or an image), never that it
# cannot start the reader.
status=0
err=$("$prefix/bin/varnel-cli" dump -o "$prefix/card.rom" 2>&1 >"$prefix/dump.out") || status=$?
case "$err" in
  *"cannot start the reader tool"*) echo "installed varnel-cli dump cannot find pokrun: $err"; exit 1 ;;
esac
[ "$status" -eq 0 ] || [[ "$err" == *"pokrun: "* ]] ||
  { echo "installed varnel-cli dump did not run pokrun (status $status): $err"; exit 1; }
echo "install layout ok"
