#!/usr/bin/env bash
# tests/windows/package_test.sh LINUX_BUILD: makes the Windows zips and
# installers with scripts/package-windows (the manual and vendor list from
# LINUX_BUILD) and checks them: each zip holds exactly what belongs in it and
# a read-me in CRLF lines; its programs and the installer are Windows
# programs of its architecture importing only what their Windows has (the
# 32-bit ones: Windows XP SP3); the 64-bit installer installs
# silently under wine64, for all users and for one user, with its Start-menu
# entry and Add/Remove Programs entry, and its uninstaller removes everything
# again; it refuses to install beside the 32-bit build. Also checks that a
# build lacking any input makes no package.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/common.sh"
root=$VARNEL_ROOT
linux_build=$(cd "$1" && pwd)
make_package=$root/packaging/windows/make_package.sh

fail() { echo "windows package test: $*"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A build lacking any input makes no package and removes an older one.
inputs=(bin/varnel.exe bin/varnel-cli.exe bin/pokrun.exe data/Vendor.IDs data/Varnel.chm)
for missing in "${inputs[@]}"; do
  case_dir=$scratch/missing/${missing//\//_}
  mkdir -p "$case_dir/build/bin" "$case_dir/data" "$case_dir/out"
  echo 'CMAKE_PROJECT_VERSION:STATIC=9.8' >"$case_dir/build/CMakeCache.txt"
  for input in "${inputs[@]}"; do
    [ "$input" = "$missing" ] || : >"$case_dir/${input/#bin/build/bin}"
  done
  echo 'from an earlier run' >"$case_dir/out/varnel-9.8-win32.zip"
  if "$make_package" 32 "$case_dir/build" "$case_dir/data" "$case_dir/out" 2>"$case_dir/error"; then
    fail "a package was made without $missing"
  fi
  grep -qF "${missing##*/} is missing" "$case_dir/error" ||
    fail "without $missing the message does not name it: $(cat "$case_dir/error")"
  [ -z "$(ls -A "$case_dir/out")" ] || fail "without $missing, out holds: $(ls "$case_dir/out")"
done

"$root/scripts/package-windows" "$linux_build"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/$VARNEL_WIN64_BUILD/CMakeCache.txt")
packages=$root/build/packages
contents=(README.txt Varnel.chm Vendor.IDs pokrun.exe samples/sample.rom varnel-cli.exe varnel.exe)
expected_contents=$(printf '%s\n' "${contents[@]}" | LC_ALL=C sort)
listing() { (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort); }

for bits in 32 64; do
  name=varnel-$version-win$bits
  unzip -q "$packages/$name.zip" -d "$scratch/zip$bits"
  [ "$(ls "$scratch/zip$bits")" = "$name" ] || fail "$name.zip does not hold one folder $name"
  unpacked=$scratch/zip$bits/$name
  [ "$(listing "$unpacked")" = "$expected_contents" ] ||
    fail "$name.zip holds: $(listing "$unpacked" | tr '\n' ' ')"

  readme=$unpacked/README.txt
  lines=$(wc -l <"$readme")
  [ "$lines" -gt 0 ] && [ "$(grep -c $'\r$' "$readme")" -eq "$lines" ] ||
    fail "$name: README.txt has lines without CRLF"
  grep -qF "Varnel $version for Windows, $bits-bit" "$readme" || fail "$name: README.txt names no build"

  # The shipped programs, stripped, and the installer: the checks every
  # program of a Windows build passes.
  mkdir -p "$scratch/programs$bits/bin"
  cp "$unpacked"/*.exe "$packages/$name-setup.exe" "$scratch/programs$bits/bin/"
  "$root/tests/windows/imports_test.sh" "$scratch/programs$bits" "win$bits" ||
    fail "$name: a program fails the import check"
done

# The 64-bit installer under wine64 in a Wine prefix of its own; no display.
export WINEPREFIX=$scratch/wine WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset DISPLAY
trap '/usr/lib/wine/wineserver -k || true; rm -rf "$scratch"' EXIT
wine() { /usr/lib/wine/wine64 "$@"; }
# Runs a program and waits for every process it started (the uninstaller
# runs on from a copy of itself) and for the registry to be on disk; the
# status is the program's.
wine_until_settled() {
  local status=0
  wine "$@" || status=$?
  /usr/lib/wine/wineserver -w
  return "$status"
}
# The path under Wine of a file: drive C: is the prefix's drive_c, Z: is /.
windows_path() {
  local path=$1 drive=Z:
  if [[ $path == "$WINEPREFIX/drive_c/"* ]]; then path=${path#"$WINEPREFIX/drive_c"} drive=C:; fi
  echo "$drive${path//\//\\}"
}
start_menu_entries() { find "$WINEPREFIX/drive_c" -path "$WINEPREFIX/drive_c/$1" | wc -l; }
setup=$packages/varnel-$version-win64-setup.exe
users_folder=$scratch/users-folder

# What an installation of the 32-bit build leaves in the registry: the
# 64-bit installer refuses to install beside it, and writes nothing.
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel'
other_builds=(
  "HKLM\\$uninstall_key /v InstallLocation /d C:\\Other /reg:32"
  "HKCU\\$uninstall_key /v Bits /t REG_DWORD /d 32 /reg:64"
)
for row in "${other_builds[@]}"; do
  read -ra entry <<<"$row"
  wine reg add "${entry[@]}" /f
  status=0
  wine "$setup" /AllUsers /S "/D=$(windows_path "$scratch/beside")" || status=$?
  [ "$status" -ne 0 ] || fail "installed beside the 32-bit build ($row)"
  [ ! -e "$scratch/beside" ] || fail "wrote files beside the 32-bit build ($row)"
  wine reg delete "${entry[0]}" "${entry[@]: -1}" /f  # the key, in its view
done

# Columns two or more blanks apart (a folder may hold one blank); "-": no /D=.
# mode        /D= folder     where the files go            registry    Start-menu entry under drive_c
cases=(
  "AllUsers     -              drive_c/Program Files/Varnel  system.reg  ProgramData/Microsoft/Windows/Start Menu/Programs/Varnel.lnk"
  "CurrentUser  $users_folder  $users_folder                 user.reg    users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Varnel.lnk"
)
key='[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Varnel]'
for row in "${cases[@]}"; do
  IFS=$'\x1f' read -r mode folder installed registry entry <<<"$(sed 's/  \+/\x1f/g' <<<"$row")"
  [ "$folder" = - ] && destination=() || destination=("/D=$(windows_path "$folder")")
  [ "${installed:0:1}" = / ] || installed=$WINEPREFIX/$installed

  status=0
  wine_until_settled "$setup" "/$mode" /S "${destination[@]}" || status=$?
  [ "$status" -eq 0 ] || fail "$mode: the installer exited with $status"
  [ "$(listing "$installed")" = "$(printf '%s\n' "${contents[@]}" Uninstall.exe | LC_ALL=C sort)" ] ||
    fail "$mode: $installed holds: $(listing "$installed" 2>&1 | tr '\n' ' ')"
  [ "$(start_menu_entries "$entry")" -eq 1 ] || fail "$mode: no Start-menu entry drive_c/$entry"
  grep -A20 -F "$key" "$WINEPREFIX/$registry" |
    grep -qF "\"UninstallString\"=\"\\\"$(windows_path "$installed" | sed 's/\\/\\\\/g')\\\\Uninstall.exe\\\" /$mode\"" ||
    fail "$mode: no uninstaller for $installed registered in $registry"

  wine_until_settled "$installed/Uninstall.exe" "/$mode" /S || status=$?
  [ "$status" -eq 0 ] || fail "$mode: the uninstaller exited with $status"
  [ ! -e "$installed" ] || fail "$mode: the uninstaller left $(listing "$installed" | tr '\n' ' ')"
  [ "$(start_menu_entries "$entry")" -eq 0 ] || fail "$mode: the Start-menu entry stays"
  ! grep -qF "$key" "$WINEPREFIX/$registry" || fail "$mode: the Add/Remove Programs entry stays"
done
echo "windows packages ok: $(cd "$packages" && echo *"$version"*)"
