#!/usr/bin/env bash
# tests/windows/package_test.sh LINUX_BUILD: makes the Windows zips and
# installers with scripts/package-windows (the manual and vendor list from
# LINUX_BUILD) and checks them: each zip holds exactly what belongs in it and
# a read-me in CRLF lines; its programs and the installer are Windows
# programs of its architecture importing only what their Windows has (the
# 32-bit ones: Windows XP SP3); each installer installs silently into a
# 64-bit Wine prefix, for all users and for one user, the programs of its
# own build with its Start-menu entry and Add/Remove Programs entry (the
# 32-bit one where 64-bit Windows puts a 32-bit program: Program Files (x86)
# and the 32-bit registry view), with the program folder's size, and its
# uninstaller removes everything again; each refuses to install beside the
# other build, and over a newer Varnel (versions compared as numbers part by
# part). With the editor running from the installation folder (on a virtual
# display), a silent setup and a silent uninstall stop with exit code 2 and
# change nothing; files left behind keep the Add/Remove Programs entry. Also
# checks that a build lacking any input makes no package, and reads with 7z
# what each installer holds and that it and its uninstaller show the
# application's icon: where the machine runs no 32-bit programs, that is all
# it checks of the 32-bit installer, and it says so.
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
  printf '%s\n' CMAKE_PROJECT_VERSION:STATIC=9.8 'VARNEL_COPYRIGHT:INTERNAL=Copyright' \
    >"$case_dir/build/CMakeCache.txt"
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
contents=(LICENSE.txt README.txt Varnel.chm Vendor.IDs pokrun.exe samples/sample.rom varnel-cli.exe varnel.exe)
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
  tr -d '\r' <"$unpacked/LICENSE.txt" | cmp -s - "$root/LICENSE" || fail "$name: LICENSE.txt is not the licence"

  # The shipped programs, stripped, and the installer: the checks every
  # program of a Windows build passes.
  mkdir -p "$scratch/programs$bits/bin"
  cp "$unpacked"/*.exe "$packages/$name-setup.exe" "$scratch/programs$bits/bin/"
  "$root/tests/windows/imports_test.sh" "$scratch/programs$bits" "win$bits" ||
    fail "$name: a program fails the import check"
done

# What each installer would install, read out of it without running it (7z
# unpacks an NSIS installer into the installation folder, beside the
# uninstaller it writes and its own plug-ins): exactly the zip's files, byte
# for byte.
for bits in 32 64; do
  name=varnel-$version-win$bits
  unpacked=$scratch/setup$bits
  7z x -y -o"$unpacked" "$packages/$name-setup.exe" >"$scratch/7z.log" ||
    fail "7z cannot read $name-setup.exe: $(cat "$scratch/7z.log")"
  held=$(listing "$unpacked" | grep -v -e '^\$PLUGINSDIR/' -e '^Uninstall\.exe$')
  [ "$held" = "$expected_contents" ] || fail "$name-setup.exe would install: $(tr '\n' ' ' <<<"$held")"
  for file in "${contents[@]}"; do
    cmp -s "$scratch/zip$bits/$name/$file" "$unpacked/$file" ||
      fail "$name-setup.exe holds another $file than $name.zip"
  done
done

# The images of an icon file, a checksum a line: each entry of its directory
# gives an image's size and offset.
icon_images() {
  local icon=$1 count entry size offset
  count=$(od -An -t u2 -j 4 -N 2 "$icon" | tr -d ' ')
  for ((entry = 0; entry < count; entry++)); do
    read -r size offset < <(od -An -t u4 -j $((14 + 16 * entry)) -N 8 "$icon")
    tail -c +$((offset + 1)) "$icon" | head -c "$size" | sha256sum | cut -d' ' -f1
  done
}
# Each installer and its uninstaller (as 7z wrote it above) show the
# application's icon, none of NSIS's own: their icon images are varnel.ico's.
# 7z writes each image as an icon file of its own, a PNG-compressed one as
# it is.
application_icon=$(icon_images "$root/resources/icons/varnel.ico" | sort -u)
for bits in 32 64; do
  for program in "$packages/varnel-$version-win$bits-setup.exe" "$scratch/setup$bits/Uninstall.exe"; do
    rm -rf "$scratch/resources"
    7z x -y -tPE -o"$scratch/resources" "$program" >"$scratch/7z.log" ||
      fail "7z cannot read the resources of $program: $(cat "$scratch/7z.log")"
    shown=$(for image in "$scratch/resources/.rsrc/ICON/"*; do
      case $image in
        *.ico) icon_images "$image" ;;
        *) sha256sum <"$image" | cut -d' ' -f1 ;;
      esac
    done | sort -u)
    [ "$shown" = "$application_icon" ] ||
      fail "${program##*/} ($bits-bit) shows another icon than resources/icons/varnel.ico"
  done
done

# The installers that run here: the 32-bit one (and its uninstaller) only
# where the machine runs 32-bit programs.
installer_bits=" 32 64 "
if ! runs_32bit_programs; then
  installer_bits=" 64 "
  left_out "installing and uninstalling the 32-bit installer under Wine, and its refusal beside the 64-bit build (its contents were read)"
fi
runs_here() { [[ $installer_bits == *" $1 "* ]]; }

# The installers in a 64-bit Wine prefix of their own, as on 64-bit Windows;
# no display, and no menu entries of the Linux desktop for the Start-menu
# entries (they would land in the home folder).
export WINEPREFIX=$scratch/wine WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
unset DISPLAY
trap '/usr/lib/wine/wineserver -k || true; rm -rf "$scratch"' EXIT
wine() { /usr/lib/wine/wine64 "$@"; }
# An installer or uninstaller under the Wine of its architecture: the 32-bit
# ones under the 32-bit Wine, as WoW64 runs them on 64-bit Windows.
run_program() { VARNEL_WINEPREFIX=$WINEPREFIX "$root/scripts/lib/wine-run" "$@"; }
# Runs a program and waits for every process it started to end (the
# uninstaller runs on from a copy of itself); the status is the program's.
run_until_settled() {
  local status=0
  run_program "$@" || status=$?
  /usr/lib/wine/wineserver -w
  return "$status"
}
# The path under Wine of a file: drive C: is the prefix's drive_c, Z: is /.
windows_path() {
  local path=$1 drive=Z:
  if [[ $path == "$WINEPREFIX/drive_c/"* ]]; then path=${path#"$WINEPREFIX/drive_c"} drive=C:; fi
  echo "$drive${path//\//\\}"
}
# How many Start-menu entries match $1, a path under drive_c; find's tests
# after it narrow them down.
start_menu_entries() { find "$WINEPREFIX/drive_c" -path "$WINEPREFIX/drive_c/$1" "${@:2}" -print | wc -l; }
setup() { echo "$packages/varnel-$version-win$1-setup.exe"; }
users_folder=$scratch/users-folder

# What an installation of the other build leaves in the registry: each
# installer refuses to install beside it, and writes nothing. On 64-bit
# Windows the 32-bit build's all-users entry is in the 32-bit registry view.
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel'
# installer  the other build's entry (reg add arguments)
other_builds=(
  "64          HKLM\\$uninstall_key /v InstallLocation /d C:\\Other /reg:32"
  "64          HKCU\\$uninstall_key /v Bits /t REG_DWORD /d 32 /reg:64"
  "32          HKLM\\$uninstall_key /v InstallLocation /d C:\\Other /reg:64"
  "32          HKCU\\$uninstall_key /v Bits /t REG_DWORD /d 64 /reg:32"
)
for row in "${other_builds[@]}"; do
  read -r bits other <<<"$row"
  runs_here "$bits" || continue
  read -ra entry <<<"$other"
  wine reg add "${entry[@]}" /f
  status=0
  run_program "$(setup "$bits")" /AllUsers /S "/D=$(windows_path "$scratch/beside")" || status=$?
  [ "$status" -ne 0 ] || fail "the $bits-bit installer installed beside the other build ($other)"
  [ ! -e "$scratch/beside" ] || fail "the $bits-bit installer wrote files beside the other build ($other)"
  wine reg delete "${entry[0]}" "${entry[@]: -1}" /f  # the key, in its view
done

# Another version of Varnel installed: a setup refuses to replace a newer
# one, whichever mode's entry names it, with exit code 2 and nothing
# written; it replaces the same version or an older one. A 64-bit setup of
# version 1.10 (the same programs) tells a comparison of numbers (1.10 is
# newer than 1.9, older than 1.11) from one of strings.
other_version_build=$scratch/build-1.10
mkdir -p "$other_version_build"
ln -s "$root/$VARNEL_WIN64_BUILD/bin" "$other_version_build/bin"
{ echo CMAKE_PROJECT_VERSION:STATIC=1.10; grep '^VARNEL_COPYRIGHT:INTERNAL=' "$root/$VARNEL_WIN64_BUILD/CMakeCache.txt"; } \
  >"$other_version_build/CMakeCache.txt"
"$make_package" 64 "$other_version_build" "$linux_build/bin" "$scratch/packages-1.10" >/dev/null
# bits  setup version  installed entry  its DisplayVersion  outcome
versions=(
  "64     1.10           HKLM /reg:64     1.11                refused"
  "64     1.10           HKLM /reg:64     1.10.1              refused"
  "64     1.10           HKCU /reg:64     2.0                 refused"
  "64     1.10           HKLM /reg:64     1.9                 installed"
  "64     1.10           HKCU /reg:64     1.10.0              installed"
  "32     $version       HKLM /reg:32     $version.1          refused"
)
for row in "${versions[@]}"; do
  read -r bits setup_version hive view installed_version outcome <<<"$row"
  runs_here "$bits" || continue
  installer=$(setup "$bits")
  [ "$setup_version" = "$version" ] || installer=$scratch/packages-$setup_version/varnel-$setup_version-win$bits-setup.exe
  situation="the $bits-bit setup of $setup_version over $installed_version ($hive $view)"
  key=$hive\\$uninstall_key
  wine reg add "$key" /v DisplayVersion /d "$installed_version" "$view" /f >/dev/null
  entry_before=$(wine reg query "$key" "$view" | tr -d "\r")
  status=0
  run_program "$installer" /AllUsers /S "/D=$(windows_path "$scratch/versions")" || status=$?
  if [ "$outcome" = refused ]; then
    [ "$status" -eq 2 ] || fail "$situation: the installer exited with $status, not 2"
    [ ! -e "$scratch/versions" ] || fail "$situation: the installer wrote files"
    [ "$(wine reg query "$key" "$view" | tr -d "\r")" = "$entry_before" ] ||
      fail "$situation: the entry changed: $(wine reg query "$key" "$view" | tr -d "\r")"
  else
    [ "$status" -eq 0 ] || fail "$situation: the installer exited with $status"
    registered=$(wine reg query "HKLM\\$uninstall_key" /v DisplayVersion "$view" 2>&1 | tr -d "\r") || true
    [ "$(sed -n 's/.*DisplayVersion  *REG_SZ  *//p' <<<"$registered")" = "$setup_version" ] ||
      fail "$situation: the installation is not registered as $setup_version: $registered"
    run_until_settled "$scratch/versions/Uninstall.exe" /AllUsers /S
    [ ! -e "$scratch/versions" ] || fail "$situation: the uninstaller left $(listing "$scratch/versions" | tr '\n' ' ')"
  fi
  wine reg delete "$key" "$view" /f >/dev/null 2>&1 || true
done

# Columns two or more blanks apart (a folder may hold one blank); "-": no /D=.
# The uninstall entry's hive and registry view: the 32-bit build's
# all-users entry lies in the 32-bit view of 64-bit Windows.
# bits  mode         /D= folder        where the files go                  entry         Start-menu entry under drive_c
cases=(
  "64     AllUsers     -                 drive_c/Program Files/Varnel        HKLM /reg:64  ProgramData/Microsoft/Windows/Start Menu/Programs/Varnel.lnk"
  "64     CurrentUser  $users_folder/64  $users_folder/64                    HKCU /reg:64  users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Varnel.lnk"
  "32     AllUsers     -                 drive_c/Program Files (x86)/Varnel  HKLM /reg:32  ProgramData/Microsoft/Windows/Start Menu/Programs/Varnel.lnk"
  "32     CurrentUser  $users_folder/32  $users_folder/32                    HKCU /reg:32  users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Varnel.lnk"
)
# A key under Software\Classes as either registry view shows it (what reg
# prints for both; nothing for a key in neither).
classes_query() {
  local view
  for view in /reg:64 /reg:32; do
    wine reg query "$@" "$view" 2>/dev/null | tr -d "\r" || true
  done
}
# Where "Open with Varnel" for .rom files is registered.
open_command_key='Software\Classes\Applications\varnel.exe\shell\open\command'
open_with_key='Software\Classes\.rom\OpenWithList\varnel.exe'
for row in "${cases[@]}"; do
  IFS=$'\x1f' read -r bits mode folder installed uninstall_entry entry <<<"$(sed 's/  \+/\x1f/g' <<<"$row")"
  runs_here "$bits" || continue
  [ "$folder" = - ] && destination=() || destination=("/D=$(windows_path "$folder")")
  [ "${installed:0:1}" = / ] || installed=$WINEPREFIX/$installed
  read -r hive view <<<"$uninstall_entry"
  installation="$bits-bit $mode"

  status=0
  run_program "$(setup "$bits")" "/$mode" /S "${destination[@]}" || status=$?
  [ "$status" -eq 0 ] || fail "$installation: the installer exited with $status"
  [ "$(listing "$installed")" = "$(printf '%s\n' "${contents[@]}" Uninstall.exe | LC_ALL=C sort)" ] ||
    fail "$installation: $installed holds: $(listing "$installed" 2>&1 | tr '\n' ' ')"
  # The zip's programs passed the architecture check above: the installed
  # ones are those of the installer's own build.
  for file in "${contents[@]}"; do
    cmp -s "$scratch/zip$bits/varnel-$version-win$bits/$file" "$installed/$file" ||
      fail "$installation: the installed $file is not the one of the $bits-bit build"
  done
  # A shortcut holds its target's path in the system's code page.
  program="$(windows_path "$installed")\\varnel.exe"
  [ "$(start_menu_entries "$entry" -exec grep -qaF "$program" {} \;)" -eq 1 ] ||
    fail "$installation: no Start-menu entry drive_c/$entry starting $program"
  # Add/Remove Programs shows the program folder's size, in KB.
  registered=$(wine reg query "$hive\\$uninstall_key" /v EstimatedSize "$view" 2>&1 | tr -d "\r") || true
  size=$(sed -n 's/.*EstimatedSize  *REG_DWORD  *0x\([0-9a-fA-F]*\).*/\1/p' <<<"$registered")
  bytes=$(find "$installed" -type f -printf '%s\n' | awk '{ total += $1 } END { print total }')
  [ -n "$size" ] && [ $((16#$size)) -gt 0 ] && [ $((16#$size - bytes / 1024)) -ge -1 ] &&
    [ $((16#$size - bytes / 1024)) -le 1 ] ||
    fail "$installation: the estimated size is not the $((bytes / 1024)) KB installed: $registered"
  registered=$(wine reg query "$hive\\$uninstall_key" /v UninstallString "$view" 2>&1 | tr -d "\r") || true
  grep -qF "\"$(windows_path "$installed")\\Uninstall.exe\" /$mode" <<<"$registered" ||
    fail "$installation: no uninstaller for $installed registered in $hive ($view): $registered"
  # "Open with Varnel" for .rom files, the extension not taken over. The
  # classes key is shared by both registry views on 64-bit Windows (and
  # Wine), whichever build wrote it: it is looked for in both.
  registered=$(classes_query "$hive\\$open_command_key" /ve)
  grep -qF "\"$program\" \"%1\"" <<<"$registered" ||
    fail "$installation: no open command for varnel.exe in $hive: $registered"
  grep -qF 'OpenWithList' <<<"$(classes_query "$hive\\$open_with_key")" ||
    fail "$installation: .rom does not list varnel.exe to open it with"
  registered=$(classes_query "$hive\\Software\\Classes\\.rom" /ve)
  ! grep -qi 'varnel' <<<"$registered" || fail "$installation: .rom was taken over: $registered"

  run_until_settled "$installed/Uninstall.exe" "/$mode" /S || status=$?
  [ "$status" -eq 0 ] || fail "$installation: the uninstaller exited with $status"
  [ ! -e "$installed" ] || fail "$installation: the uninstaller left $(listing "$installed" | tr '\n' ' ')"
  [ "$(start_menu_entries "$entry")" -eq 0 ] || fail "$installation: the Start-menu entry stays"
  registered=$(wine reg query "$hive\\$uninstall_key" "$view" 2>&1 | tr -d "\r") || true
  grep -qF 'Unable to find the specified registry key' <<<"$registered" ||
    fail "$installation: the Add/Remove Programs entry stays: $registered"
  for key in "$open_command_key" "$open_with_key"; do
    ! grep -qF 'HKEY_' <<<"$(classes_query "$hive\\$key")" ||
      fail "$installation: the uninstaller left $hive\\$key"
  done
done

# The editor running from an installation: a silent setup over it and a
# silent uninstall stop with exit code 2 and change nothing. The uninstaller
# runs in place (_?=, NSIS's switch, which takes the folder unquoted: the
# folder has no blank), as only then does its exit code reach its caller.
# Before that, the same version installs over itself.
held=$scratch/held
[[ $held != *" "* ]] || fail "the temporary folder $held holds a blank"
held_entry="HKCU\\$uninstall_key"
# The installation's Add/Remove Programs entry and its Start-menu entries;
# with its files and their checksums, all of it.
held_entries() {
  wine reg query "$held_entry" /reg:64 2>&1 | tr -d "\r"
  echo "Start-menu entries: $(start_menu_entries 'users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Varnel.lnk')"
}
held_state() {
  (cd "$held" && find . -type f -exec sha256sum {} + | LC_ALL=C sort)
  held_entries
}
for attempt in first same-version; do
  status=0
  run_program "$(setup 64)" /CurrentUser /S "/D=$(windows_path "$held")" || status=$?
  [ "$status" -eq 0 ] || fail "the $attempt installation into $held exited with $status"
done
state_before=$(held_state) entries_before=$(held_entries)
grep -qF 'Start-menu entries: 1' <<<"$entries_before" && grep -qF 'InstallLocation' <<<"$entries_before" ||
  fail "no installation in $held: $state_before"
# The editor on a virtual display of its own (the prefix's Wine server is
# ended before and after it), until its window shows.
VARNEL_WINEPREFIX=$WINEPREFIX "$root/tests/win32/run_with_display.sh" \
  bash -c 'echo "$DISPLAY" >"$1" && exec "$2" "$3"' - "$scratch/display" "$root/scripts/lib/wine-run" "$held/varnel.exe" \
  >/dev/null 2>&1 &
editor=$!
window="" deadline=$((SECONDS + 90))
while [ -z "$window" ] && [ "$SECONDS" -lt "$deadline" ] && kill -0 "$editor" 2>/dev/null; do
  [ ! -s "$scratch/display" ] ||
    window=$(DISPLAY=$(cat "$scratch/display") xdotool search --onlyvisible --name '^Varnel( |$)' 2>/dev/null | head -n 1) || true
  [ -n "$window" ] || sleep 0.5
done
[ -n "$window" ] || fail "the installed editor showed no window"
status=0
run_program "$(setup 64)" /CurrentUser /S "/D=$(windows_path "$held")" || status=$?
[ "$status" -eq 2 ] || fail "the installer over a running editor exited with $status, not 2"
status=0
run_program "$held/Uninstall.exe" /CurrentUser /S "_?=$(windows_path "$held")" || status=$?
[ "$status" -eq 2 ] || fail "the uninstaller beside a running editor exited with $status, not 2"
[ "$(held_state)" = "$state_before" ] ||
  fail "with the editor running, setup or uninstaller changed the installation: $(diff <(echo "$state_before") <(held_state))"
wine taskkill /IM varnel.exe >/dev/null 2>&1 || true
timeout 60 tail --pid="$editor" -f /dev/null || fail "the editor did not end when closed"
wait "$editor" || true

# A file that stays behind (its folder lets nothing be removed from it, as
# when a program holds the file open) keeps the uninstaller, the Start-menu
# entry and the Add/Remove Programs entry for another try, which then
# removes everything.
if chattr +a "$held/samples" 2>/dev/null; then
  trap 'chattr -a "$held/samples" 2>/dev/null || true; /usr/lib/wine/wineserver -k || true; rm -rf "$scratch"' EXIT
  status=0
  run_program "$held/Uninstall.exe" /CurrentUser /S "_?=$(windows_path "$held")" || status=$?
  chattr -a "$held/samples"
  [ "$status" -eq 2 ] || fail "the uninstaller that left a file exited with $status, not 2"
  [ -f "$held/samples/sample.rom" ] && [ -f "$held/Uninstall.exe" ] ||
    fail "$held holds: $(listing "$held" | tr '\n' ' ')"
  [ "$(held_entries)" = "$entries_before" ] ||
    fail "the uninstaller that left a file changed its entries: $(held_entries)"
else
  echo "windows package test: this file system keeps no append-only folder (chattr +a); not checked: the uninstaller that leaves a file keeps its entry"
fi
run_until_settled "$held/Uninstall.exe" /CurrentUser /S
[ ! -e "$held" ] || fail "the uninstaller left $(listing "$held" | tr '\n' ' ')"
grep -qF 'Unable to find the specified registry key' <<<"$(wine reg query "$held_entry" /reg:64 2>&1)" ||
  fail "the uninstaller left its entry in Add/Remove Programs"

# shellcheck disable=SC2086  # the list's blanks separate its words
echo "windows packages ok, $(echo $installer_bits | sed 's/ /-bit and /; s/$/-bit/') installer run:" \
  "$(cd "$packages" && echo *"$version"*)"
