#!/usr/bin/env bash
# Checks the resources of the shipped Windows programs of a build, read from
# the programs themselves (tests/windows/pe_resources.py):
# - the version information of each: the strings Windows shows in the file's
#   properties, with FileVersion and ProductVersion (and the binary versions)
#   the project's version, CMAKE_PROJECT_VERSION in the build's cache;
# - its manifest, resource 1, well-formed XML: the program runs as the user
#   who starts it (without that, Windows would let a failed save into a
#   protected folder quietly land in the user's VirtualStore); the editor's
#   also asks for the themed common controls and declares DPI awareness;
# - the editor's icon: one group of exactly the 16, 24, 32, 48 and 256 pixel
#   pictures, the 256 pixel one PNG-compressed (read by Windows Vista and
#   later), the others bitmaps (read by every Windows, XP too).
# Usage: tests/windows/resources_test.sh BUILD_DIR win32|win64
set -euo pipefail
build=$1
arch=$2
case $arch in
  win32) processor=x86 ;;
  win64) processor=amd64 ;;
  *) echo "usage: $0 BUILD_DIR win32|win64" >&2; exit 64 ;;
esac
reader=$(dirname "$0")/pe_resources.py
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
binary_version=$version
while [ "$(tr -cd . <<<"$binary_version" | wc -c)" -lt 3 ]; do binary_version+=.0; done
literal() { sed 's/[][\.*^$+?(){}|]/\\&/g' <<<"$1"; }

# The strings of the version information: each must be there once and match
# its pattern (an extended regular expression, the whole value; @PROGRAM@ is
# the program's file name).
version_strings=(
  "CompanyName       The Varnel developers"
  "FileDescription   .+"
  "FileVersion       $(literal "$version")"
  "LegalCopyright    Copyright \\(c\\) [0-9]{4} The Varnel developers\\. MIT licence\\."
  "OriginalFilename  @PROGRAM@"
  "ProductName       Varnel"
  "ProductVersion    $(literal "$version")"
  "FILEVERSION       $(literal "$binary_version")"
  "PRODUCTVERSION    $(literal "$binary_version")"
)
# What the manifest must say: a description, then a pattern of the reader's
# line (an extended regular expression, the whole line, any case).
manifest_entries=(
  "running as the invoking user|executionLevel asInvoker"
)
# What the editor's manifest says besides: the themed controls and DPI
# awareness.
editor_manifest_entries=(
  "common controls 6|dependency Microsoft\\.Windows\\.Common-Controls 6\\.0\\.0\\.0 6595b64144ccf1df (\\*|$processor) win32"
  "DPI awareness (Windows Vista to 8.1)|dpiAware (true|true/pm|per monitor)"
  "DPI awareness (Windows 10 and later)|dpiAwareness (PerMonitorV2|PerMonitor|System)(,.*)?"
)
# The editor's icon group, its pictures from the smallest.
editor_icon="16x16/bmp 24x24/bmp 32x32/bmp 48x48/bmp 256x256/png"

failed=0
fail() { echo "FAIL $program: $*" >&2; failed=1 program_failed=1; }
for program in varnel.exe varnel-cli.exe pokrun.exe; do
  program_failed=0
  exe=$build/bin/$program
  [ -f "$exe" ] || { fail "missing from $build/bin"; continue; }

  if strings=$(python3 "$reader" version "$exe"); then
    for row in "${version_strings[@]}"; do
      read -r key pattern <<<"$row"
      pattern=${pattern//@PROGRAM@/$(literal "$program")}
      values=$(grep "^$key=" <<<"$strings" || true)
      if [ "$(grep -c . <<<"$values")" -ne 1 ] || ! grep -Eqx "$key=$pattern" <<<"$values"; then
        fail "its version information has ${values:-no $key}, not one $key=$pattern"
      fi
    done
  else
    fail "its version information cannot be read"
  fi

  entries=("${manifest_entries[@]}")
  [ "$program" != varnel.exe ] || entries+=("${editor_manifest_entries[@]}")
  if manifest=$(python3 "$reader" manifest "$exe"); then
    for row in "${entries[@]}"; do
      pattern=${row#*|}
      grep -Eqxi "$pattern" <<<"$manifest" ||
        fail "its manifest lacks ${row%%|*} (a line $pattern); it says: $(paste -sd';' <<<"$manifest")"
    done
  else
    fail "its manifest cannot be read"
  fi

  if [ "$program" = varnel.exe ]; then
    if groups=$(python3 "$reader" icons "$exe"); then
      pictures=$(cut -s -d' ' -f2- <<<"$groups" | tr ' ' '\n' | sort -n | xargs)
      if [ "$(grep -c . <<<"$groups")" -ne 1 ] || [ "$pictures" != "$editor_icon" ]; then
        fail "its icon groups hold: ${groups:-nothing}; expected one group of $editor_icon"
      fi
    else
      fail "its icons cannot be read"
    fi
  fi
  [ $program_failed -eq 1 ] || echo "$program: resources ok (version $version)"
done
exit $failed
