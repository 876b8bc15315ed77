#!/usr/bin/env bash
# packaging/windows/make_package.sh BITS BUILD_DIR DATA_DIR OUT_DIR
# Makes the Windows zip and installer of one cross build (BITS is 32 or 64):
#   OUT_DIR/varnel-<version>-win<BITS>.zip        a folder of the same name
#   OUT_DIR/varnel-<version>-win<BITS>-setup.exe  the NSIS installer
# The programs come from BUILD_DIR/bin and the version from its CMake cache;
# the vendor list and the manual, the same for every system, from DATA_DIR.
# Fails, naming what is missing and writing nothing, when a file is missing.
# scripts/package-windows runs it for both builds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

[ $# -eq 4 ] || { echo "usage: $0 32|64 BUILD_DIR DATA_DIR OUT_DIR" >&2; exit 64; }
bits=$1 build=$2 data=$3 out=$4
case $bits in
  32) triplet=i686-w64-mingw32 ;;
  64) triplet=x86_64-w64-mingw32 ;;
  *) echo "make_package.sh: BITS is 32 or 64, not $bits" >&2; exit 64 ;;
esac

fail() { echo "make_package.sh: $*" >&2; exit 1; }

cached() { sed -n "s/^$1=//p" "$build/CMakeCache.txt" 2>/dev/null || true; }
version=$(cached CMAKE_PROJECT_VERSION:STATIC)
copyright=$(cached VARNEL_COPYRIGHT:INTERNAL)
[ -n "$version" ] && [ -n "$copyright" ] ||
  fail "no project version or copyright in $build/CMakeCache.txt: is $build a configured build?"
name=varnel-$version-win$bits
mkdir -p "$out"
out=$(cd "$out" && pwd)
# A failed run must not leave an older package looking like this one.
rm -f "$out/$name.zip" "$out/$name-setup.exe"

# What the packages hold, by where it comes from.
programs=(varnel.exe varnel-cli.exe pokrun.exe)
data_files=(Vendor.IDs Varnel.chm)
complete=yes
for file in "${programs[@]/#/$build/bin/}" "${data_files[@]/#/$data/}"; do
  if [ ! -f "$file" ]; then
    echo "make_package.sh: $file is missing; the $bits-bit package needs it" >&2
    complete=no
  fi
done
[ $complete = yes ] || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/$name
mkdir -p "$stage/samples"
for file in "${programs[@]}"; do
  "$triplet-strip" -o "$stage/$file" "$build/bin/$file" ||
    fail "$build/bin/$file is not a $bits-bit Windows program"
done
for file in "${data_files[@]}"; do cp "$data/$file" "$stage/"; done
cp "$root/samples/sample.rom" "$stage/samples/"
# Notepad before Windows 10 shows a text file with bare LF line ends as one line.
sed -e "s/@VERSION@/$version/g" -e "s/@BITS@/$bits/g" -e 's/$/\r/' \
  "$here/README.txt" >"$stage/README.txt"
sed -e 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"

(cd "$work" && zip -X -q -r "$name.zip" "$name")
mv "$work/$name.zip" "$out/"

# The installer's File commands, the uninstaller's removals and the checks
# of both on each installed file, from the staged folder, so that they
# handle exactly what the zip holds.
files=$work/files.nsh removals=$work/removals.nsh
folder_removals=$work/folder_removals.nsh checks=$work/checks.nsh
: >"$files"
: >"$removals"
: >"$folder_removals"
: >"$checks"
windows_path() { local path=${1//\//\\}; echo "\$INSTDIR${path:+\\$path}"; }
folder=none
while IFS= read -r path; do
  if [ "$(dirname "$path")" != "$folder" ]; then
    folder=$(dirname "$path")
    echo "SetOutPath \"$(windows_path "${folder#.}")\"" >>"$files"
  fi
  echo "File \"$stage/$path\"" >>"$files"
  echo "Delete \"$(windows_path "$path")\"" >>"$removals"
  echo "!insertmacro \${CHECK_FILE} \"$(windows_path "$path")\"" >>"$checks"
done < <(cd "$stage" && find . -type f -printf '%P\n' | sort)
# The program folder as the shortcut's working folder; subfolders removed
# only when empty, deepest first.
echo 'SetOutPath "$INSTDIR"' >>"$files"
while IFS= read -r folder; do
  echo "RMDir \"$(windows_path "$folder")\"" >>"$folder_removals"
done < <(cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | sort -r)

file_version=$version
while [ "$(tr -cd . <<<"$file_version" | wc -c)" -lt 3 ]; do file_version+=.0; done
makensis -V2 -WX -DVERSION="$version" -DFILE_VERSION="$file_version" -DBITS="$bits" \
  -DCOPYRIGHT="$copyright" -DICON="$root/resources/icons/varnel.ico" \
  -DFILES="$files" -DREMOVALS="$removals" -DFOLDER_REMOVALS="$folder_removals" \
  -DCHECK_FILES="$checks" -DOUTFILE="$work/$name-setup.exe" \
  "$here/varnel.nsi"
mv "$work/$name-setup.exe" "$out/"
echo "Made $out/$name.zip and $out/$name-setup.exe"
