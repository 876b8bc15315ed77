#!/usr/bin/env bash
# Runs the varnel-cli of a Linux build and that of another build over the
# same images with the same commands, and requires of each command the same
# exit status and the same standard output byte for byte, and of both runs
# the same files written. The other build is a Windows build, whose
# varnel-cli.exe runs under Wine (it writes JSON and text in binary mode, so
# they match byte for byte), or another Linux build (the one computing on the
# x87 unit as the 32-bit Windows programs do), run directly. The images: the
# sample, the real images and fonts of the shared test data where that
# folder is there, and a generated set.
# Usage: same_bytes_test.sh LINUX_BUILD OTHER_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux_build=$(cd "$1" && pwd)
other_build=$(cd "$2" && pwd)
linux_cli=$linux_build/bin/varnel-cli
if [ -f "$other_build/bin/varnel-cli.exe" ]; then
  other_cli=$other_build/bin/varnel-cli.exe other=Wine
else
  other_cli=$other_build/bin/varnel-cli other=$(basename "$other_build")
fi
make_images=$linux_build/bin/varnel-make-test-images
testdata=${VARNEL_TESTDATA:-$root/../shared/testdata}
for program in "$linux_cli" "$other_cli" "$make_images"; do
  [ -f "$program" ] || { echo "same bytes: $program is missing (build it first)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/varnel-same-bytes.XXXXXX")
trap '[ -n "${VARNEL_KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
images=$work/images
mkdir "$images"
"$make_images" "$images" 12
cp "$root/samples/sample.rom" "$images/"
if [ -d "$testdata/roms" ]; then
  cp "$testdata"/roms/* "$testdata"/cpi/* "$testdata"/fonts/* "$images/"
else
  echo "same bytes: no test data in $testdata, real images and fonts left out"
fi
for file in "$images"/*; do
  case $(basename "$file") in
    *[[:space:]]*) echo "same bytes: a blank in $file's name" >&2; exit 1 ;;
  esac
done

# The commands, one a line: a name, then the arguments. Written files are
# named after the command and land in the current folder of the run.
cases=$work/cases
add() { printf '%s\n' "$*" >>"$cases"; }
present() { [ -f "$images/$1" ]; }

# Every image meets the first three; the images of set_images all of them.
set_cases=(
  "core --core 300"
  "beyond --core 576"
  "everything --core 280 --memory 260 --memory-type SDR --cas 2 --tv-standard NTSC --crt on --tv on --all-tv-standards off --vendor 1002"
  "clocks --core 310 --memory 290"
  "sync --core 320 --sync"
  "lowest --core 50 --memory 50"
  "highest --core 575 --memory 575"
  "sdr --memory-type SDR"
  "ddr-cas3 --memory-type DDR --cas 3"
  "cas1 --cas 1"
  "pal --tv-standard PAL --crt off --tv on"
  "code --tv-standard 3"
  "all-tv --all-tv-standards on"
  "vendor --vendor 10DE"
  "bad-vendor --vendor XYZ"
)
set_images=(sample.rom random-00.rom random-01.rom random-02.rom random-03.rom random-04.rom
            badsum-00.rom worst-type1.rom Rage128progl_zerostate.VBI)
font_cases=(
  "raw8 8x8 ../../images/font-8x8.fnt"
  "raw16 8x16 ../../images/font-8x16.fnt"
  "short 8x16 ../../images/font-8x8.fnt"
  "noise 8x16 ../../images/noise-8x16.fnt"
  "noise-forced 8x16 ../../images/noise-8x16.fnt --force"
  "cpi16 8x16 ../../images/fonts.cpi --codepage 852"
  "cpi8 8x8 ../../images/fonts.cpi --index 1"
  "cpi-first 8x16 ../../images/fonts.cpi"
  "cpi-missing 8x16 ../../images/fonts.cpi --codepage 850"
  "psf16 8x16 ../../images/font-8x16.psf"
  "psf8 8x8 ../../images/font-8x8.psf.gz"
  "psf-wide 8x16 ../../images/font-9x16.psf"
)
# Exports: a name, the size, the file name's ending and options.
export_cases=(
  "raw16 8x16 fnt"
  "psf16 8x16 psf"
  "psf8 8x8 psf.gz"
  "psf-option 8x16 fnt --format psf"
)
present msdos6-ega.cpi && font_cases+=(
  "ega16 8x16 ../../images/msdos6-ega.cpi --codepage 866"
  "ega8 8x8 ../../images/msdos6-ega.cpi --index 2"
)
present IBM_VGA_8x16.bin && font_cases+=(
  "vga16 8x16 ../../images/IBM_VGA_8x16.bin"
  "vga8 8x8 ../../images/IBM_VGA_8x8.bin"
)
font_images=(sample.rom random-00.rom random-01.rom badsum-00.rom invalid.rom
             Rage128progl_zerostate.VBI)

all_images=()
for file in "$images"/*.rom "$images"/*.VBI; do
  [ -f "$file" ] || continue
  image=$(basename "$file")
  all_images+=("../../images/$image")
  add "info-$image info --json ../../images/$image"
  add "text-$image info ../../images/$image"
  add "repair-$image repair ../../images/$image -o repair-$image"
  every_case=0
  [[ " ${set_images[*]} " == *" $image "* ]] && every_case=1
  for index in "${!set_cases[@]}"; do
    [ "$index" -lt 3 ] || [ "$every_case" = 1 ] || break
    read -r name options <<<"${set_cases[$index]}"
    add "set-$name-$image set ../../images/$image -o set-$name-$image $options"
  done
done
add "info-all info --json ${all_images[*]}"
for image in "${font_images[@]}"; do
  present "$image" || continue
  for entry in "${font_cases[@]}"; do
    read -r name size file options <<<"$entry"
    add "font-$name-$image font import $size ../../images/$image $file -o font-$name-$image ${options:-}"
  done
  for entry in "${export_cases[@]}"; do
    read -r name size ending options <<<"$entry"
    add "export-$name-$image font export $size ../../images/$image export-$name-$image.$ending ${options:-}"
  done
  add "export-stdout-$image font export 8x16 ../../images/$image - --format psf"
done
for file in "$images"/*.cpi; do
  for size in 8x8 8x16; do
    add "cpi-$size-$(basename "$file") cpi --json --size $size ../../images/$(basename "$file")"
  done
done
# Files there before the run: saving over an existing file, and over the
# input, which keeps the original beside it.
declare -A existing=([over-sample.rom]=cut.rom [inplace-set-sample.rom]=sample.rom
                     [inplace-font-random-01.rom]=random-01.rom)
add "missing-input info --json ../../images/missing.rom"
add "missing-folder repair ../../images/sample.rom -o no/such/folder.rom"
add "overwrite repair ../../images/sample.rom -o over-sample.rom"
add "inplace-set set inplace-set-sample.rom -o inplace-set-sample.rom --in-place --core 290"
add "inplace-font font import 8x16 inplace-font-random-01.rom ../../images/font-8x16.fnt -o inplace-font-random-01.rom --in-place"

for side in linux other; do
  mkdir -p "$work/$side/files" "$work/$side/log"
  for file in "${!existing[@]}"; do
    cp "$images/${existing[$file]}" "$work/$side/files/$file"
  done
done

# run_directly CLI SIDE: every command, one after the other.
run_directly() (
  cd "$work/$2/files"
  set -f  # the arguments are split on blanks, never globbed
  while read -r name args; do
    # shellcheck disable=SC2086  # the arguments are split on purpose
    "$1" $args >"../log/$name.out" 2>"../log/$name.err" && status=0 || status=$?
    echo "$status" >"../log/$name.status"
  done <"$cases"
)

# run_under_wine CLI SIDE: the commands from batch files, one Wine start for
# each, as many at once as there are processors.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
run_under_wine() {
  local batches line=0 batch cli_path
  batches=$(nproc)
  cli_path=$(windows_path "$1")
  batch_line() {
    printf '"%s" %s >..\\log\\%s.out 2>..\\log\\%s.err\r\n' "$cli_path" "$2" "$1" "$1"
    printf '>..\\log\\%s.status echo %%ERRORLEVEL%%\r\n' "$1"
  }
  batch_start() { printf '@echo off\r\ncd /d %s\r\n' "$(windows_path "$work/$side/files")"; }
  local side=$2
  while read -r name args; do
    batch=$work/run-$((line % batches)).bat
    if [ "$line" -lt "$batches" ]; then batch_start >"$batch"; fi
    batch_line "$name" "$args" >>"$batch"
    line=$((line + 1))
  done <"$cases"
  # The first run makes the Wine prefix, whose command interpreter runs the rest.
  wine_run() { VARNEL_WINEPREFIX=$other_build/wineprefix "$root/scripts/lib/wine-run" "$@"; }
  wine_run "$1" --help >/dev/null
  for batch in "$work"/run-*.bat; do
    # A command that did not run shows as a missing status below.
    wine_run "$other_build/wineprefix/drive_c/windows/system32/cmd.exe" /c \
      "$(windows_path "$batch")" || true &
  done
  wait
  # Under a heavy load Wine now and then fails to start a program: the
  # command interpreter's status 9009, which no command of ours ends with.
  # Such a command did nothing; it runs once more, alone.
  local retried=0
  while read -r name args; do
    [ "$(tr -d '\r ' <"$work/$side/log/$name.status" 2>/dev/null)" = 9009 ] || continue
    { batch_start; batch_line "$name" "$args"; } >"$work/retry.bat"
    wine_run "$other_build/wineprefix/drive_c/windows/system32/cmd.exe" /c \
      "$(windows_path "$work/retry.bat")" </dev/null || true
    retried=$((retried + 1))
  done <"$cases"
  [ "$retried" -eq 0 ] || echo "same bytes: run again, as Wine did not start them: $retried commands"
}

started=$SECONDS
run_directly "$linux_cli" linux
linux_seconds=$((SECONDS - started))
started=$SECONDS
if [ "$other" = Wine ]; then run_under_wine "$other_cli" other; else run_directly "$other_cli" other; fi
other_seconds=$((SECONDS - started))

failures=0
fail() {
  echo "DIFFERS: $*"
  failures=$((failures + 1))
}
declare -A statuses=()
commands=0
while read -r name args; do
  commands=$((commands + 1))
  linux_log=$work/linux/log/$name
  other_log=$work/other/log/$name
  if [ ! -f "$other_log.status" ]; then
    fail "$name: did not run ($other)"
    continue
  fi
  linux_status=$(cat "$linux_log.status")
  other_status=$(tr -d '\r ' <"$other_log.status")
  statuses[$linux_status]=$((${statuses[$linux_status]:-0} + 1))
  [ "$linux_status" = "$other_status" ] ||
    fail "$name: exit status $linux_status on Linux, $other_status ($other)"
  if ! cmp -s "$linux_log.out" "$other_log.out"; then
    fail "$name: output $(cmp "$linux_log.out" "$other_log.out" 2>&1 || true)"
    diff "$linux_log.out" "$other_log.out" | head -5 || true
  fi
done <"$cases"

written=$(find "$work/linux/files" -type f | wc -l)
if ! diff -r "$work/linux/files" "$work/other/files" >"$work/files.diff"; then
  fail "written files:"
  head -20 "$work/files.diff"
fi

# The comparison means something only when the commands did their work.
summary=""
for status in $(printf '%s\n' "${!statuses[@]}" | sort -n); do
  summary+=" $status:${statuses[$status]}"
done
echo "same bytes: $commands commands (Linux ${linux_seconds} s, $other ${other_seconds} s)," \
  "$written files written; exit statuses$summary"
for expected in 0 1 2 3 6 64; do
  [ -n "${statuses[$expected]:-}" ] || fail "no command ended with status $expected"
done
[ "$written" -ge 100 ] || fail "only $written files written"
if [ "$failures" -ne 0 ]; then
  echo "same bytes: $failures differences" >&2
  exit 1
fi
echo "same bytes: the same with $other"
