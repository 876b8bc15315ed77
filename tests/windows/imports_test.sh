#!/usr/bin/env bash
# Checks the Windows programs of a build: each is a PE executable of the
# build's architecture, and imports only DLLs that every Windows it is meant
# for has (for 32-bit: Windows XP SP3), none of the C runtime DLLs a static
# build must not need, and none of the functions that appeared after XP (a
# program that imports one does not start on XP at all); the installers
# name their makers and licence in their version information
# (resources_test.sh reads the shipped programs' resources).
# Usage: tests/windows/imports_test.sh BUILD_DIR win32|win64
set -euo pipefail
build=$1
arch=$2
objdump=x86_64-w64-mingw32-objdump
case $arch in
  win32) format=pei-i386 ;;
  win64) format=pei-x86-64 ;;
  *) echo "usage: $0 BUILD_DIR win32|win64" >&2; exit 64 ;;
esac

# DLLs present on Windows XP SP3 (and every later Windows).
xp_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|oleaut32|msvcrt|ntdll|version|shlwapi|winmm|ws2_32)\.dll$'
# Functions of those DLLs that XP lacks and that MinGW's runtimes or our
# code could pull in (Vista and later).
post_xp='^(GetTickCount64|InitializeSRWLock|AcquireSRWLock(Exclusive|Shared)|ReleaseSRWLock(Exclusive|Shared)|TryAcquireSRWLock(Exclusive|Shared)|InitializeConditionVariable|SleepConditionVariable(CS|SRW)|WakeConditionVariable|WakeAllConditionVariable|InitOnce(ExecuteOnce|BeginInitialize|Complete)|CreateSymbolicLink[AW]|GetFinalPathNameByHandle[AW]|GetFileInformationByHandleEx|SetFileInformationByHandle|CompareStringEx|LCMapStringEx|GetLocaleInfoEx|GetUserDefaultLocaleName|FlsAlloc|FlsFree|FlsGetValue|FlsSetValue|CreateEventEx[AW]|CreateMutexEx[AW]|CreateSemaphoreEx[AW]|GetSystemTimePreciseAsFileTime|CancelIoEx|QueryFullProcessImageName[AW]|GetErrorMode|RegGetValue[AW]|TaskDialog|TaskDialogIndirect|SHGetKnownFolderPath|GetThreadId|GetProcessId)$'

programs=("$build"/bin/*.exe)
[ -e "${programs[0]}" ] || { echo "no programs in $build/bin" >&2; exit 1; }
failed=0
for exe in "${programs[@]}"; do
  dump=$("$objdump" -p "$exe")
  if ! "$objdump" -f "$exe" | grep -q "file format $format\$"; then
    echo "FAIL $exe: not a $format executable" >&2; failed=1
  fi
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
  while read -r dll; do
    if ! grep -Eq "$xp_dlls" <<<"$dll"; then
      echo "FAIL $exe imports $dll" >&2; failed=1
    fi
  done <<<"$dlls"
  if [ "$arch" = win32 ]; then
    # Import lines: "<hint> <name>" under each DLL Name.
    while read -r function; do
      if grep -Eq "$post_xp" <<<"$function"; then
        echo "FAIL $exe imports $function, which Windows XP lacks" >&2; failed=1
      fi
    done < <(awk '/DLL Name:/{inside=1; next} inside && NF>=3 && $2 ~ /^[0-9]+$/ {print $3} /^$/{inside=0}' <<<"$dump")
  fi
  # Every installer names its makers and its licence in its version
  # information (UTF-16 strings).
  if [[ $(basename "$exe") =~ ^varnel-.*-setup\.exe$ ]]; then
    version_strings=$(strings -el "$exe")
    for expected in 'LegalCopyright' 'The Varnel developers. MIT licence.' 'CompanyName'; do
      grep -qF -- "$expected" <<<"$version_strings" ||
        { echo "FAIL $exe has no \"$expected\" in its version information" >&2; failed=1; }
    done
  fi
  echo "$(basename "$exe"): $format, imports $(tr '\n' ' ' <<<"$dlls")"
done
exit $failed
