# Shared by the project's scripts: installing what is missing and building.
# Sourced, not run.

VARNEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What building and testing need, as Debian 12 packages.
VARNEL_BUILD_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libpng-dev zlib1g-dev
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core pci.ids
  libchm-dev fp-utils
)
# The console fonts that font import and export are tried on, and kbd's
# psfxtable, which reads the PSF files varnel-cli writes.
VARNEL_TEST_PACKAGES=(clang libclang-rt-14-dev console-setup-linux kbd)
# The Windows builds: MinGW-w64 cross compilers (posix threads) for 32 and
# 64 bits, zlib for them, GoogleTest's sources, Wine with its fonts to run
# the programs (the editor's windows on a virtual display), and Python to
# read the programs' resources. Debian keeps the 32-bit Wine in its i386
# architecture, which is enabled for it.
VARNEL_WINDOWS_PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
  libcli11-dev nlohmann-json3-dev wine64 wine32:i386 fonts-wine xvfb xdotool python3
)
# What making and checking the Debian package needs besides building:
# dpkg-shlibdeps (dpkg-dev, which asks file(1)), lintian and appstreamcli.
VARNEL_PACKAGING_PACKAGES=(dpkg-dev file lintian appstream)
# What making the Windows zips and installers needs besides the cross build;
# 7z lists and unpacks an installer without running it.
VARNEL_WINDOWS_PACKAGING_PACKAGES=(nsis zip unzip p7zip-full)
# What scripts/make-windows-icon needs to make the icon files kept in the
# repository (no build needs them): ImageMagick and librsvg's rsvg-convert.
VARNEL_ICON_PACKAGES=(imagemagick librsvg2-bin)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the named packages that are not installed yet; refreshes the
# package lists only when the first attempt fails (a fresh machine).
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    as_root apt-get update
  fi
  if ! as_root apt-get install -y --no-install-recommends "${missing[@]}"; then
    as_root apt-get update
    as_root apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# The Windows builds' folders, as scripts/build-windows makes them.
VARNEL_WIN32_BUILD=build/win32
VARNEL_WIN64_BUILD=build/win64

# What every configure of the project's own scripts passes: warnings in
# project code are errors here (a plain configure keeps them warnings).
VARNEL_CMAKE_OPTIONS=(-G Ninja -DVARNEL_WERROR=ON)

# configure_build DIR [cmake arguments...]: configures (once) and builds.
configure_build() {
  local dir=$1
  shift
  cmake -S "$VARNEL_ROOT" -B "$dir" "${VARNEL_CMAKE_OPTIONS[@]}" "$@"
  cmake --build "$dir" --parallel "$(nproc)"
}

# runs_32bit_programs: whether this machine runs 32-bit x86 programs, and so
# the 32-bit Wine. A kernel built without IA32 emulation (common in virtual
# machines and containers) runs none. Found out once, by starting the 32-bit
# Wine loader (installed with the Windows packages), and exported for the
# scripts a run calls. VARNEL_32BIT=no takes the path of such a kernel on
# any machine, to try it; VARNEL_32BIT=yes skips the probe.
runs_32bit_programs() {
  case ${VARNEL_32BIT:-} in
    yes) return 0 ;;
    no) return 1 ;;
    '') ;;
    *) echo "VARNEL_32BIT is yes, no or unset, not '$VARNEL_32BIT'" >&2; exit 64 ;;
  esac
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then VARNEL_32BIT=yes; else VARNEL_32BIT=no; fi
  export VARNEL_32BIT VARNEL_32BIT_PROBED=yes
  [ "$VARNEL_32BIT" = yes ]
}

# left_out CHECK: records a check left out because this machine runs no
# 32-bit programs. Within scripts/test the run's list (the file
# VARNEL_LEFT_OUT) collects them for one block at the end; a script run
# alone says so at once.
left_out() {
  if [ -n "${VARNEL_LEFT_OUT:-}" ]; then
    echo "$1" >>"$VARNEL_LEFT_OUT"
  else
    echo "$(left_out_heading) $1"
  fi
}

left_out_heading() {
  local reason=""
  [ "${VARNEL_32BIT:-}" = no ] && [ -z "${VARNEL_32BIT_PROBED:-}" ] && reason=" (VARNEL_32BIT=no)"
  echo "32-bit programs cannot run on this kernel$reason; not run:"
}

# report_left_out: the block of every check left out, if any.
report_left_out() {
  [ -s "${VARNEL_LEFT_OUT:-}" ] || return 0
  left_out_heading
  sed 's/^/  - /' "$VARNEL_LEFT_OUT"
}
