#!/usr/bin/env bash
# The Windows build: installs the MinGW-w64 cross compilers and Wine when they
# are missing, builds build-win64/ and build-win32/, and runs the Windows test
# suite of build-win64/ under Wine without any display. Then the end-to-end
# check: velk-tester.exe with an operator script under Wine, answered over
# 127.0.0.1 by the Linux velkctl (built into build/ when it is not there).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 fonts-wine)
source "$root/scripts/install_missing.sh"
install_missing windows "${packages[@]}"

export WINEDEBUG=-all
# No .NET or browser engine in the prefix: nothing here needs them, and
# wineboot would ask to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# A Wine prefix of the build's own: the null graphics driver (every dialog
# runs headless), Wine's fonts, and a temporary folder on the drive that
# maps the host's root, so that the tests' absolute paths stay valid after
# they change their working directory.
prepare_prefix() {
  local build=$1
  export WINEPREFIX="$build/wine-prefix"
  if [[ -f "$WINEPREFIX/.velk-ready" ]]; then
    return
  fi
  echo "windows: preparing the Wine prefix in $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$build/wine-tmp"
  wineboot --init >/dev/null 2>&1
  wineserver -w
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
  local temp
  temp=$(winepath -w "$build/wine-tmp")
  wine reg add 'HKCU\Environment' /v TEMP /d "$temp" /f >/dev/null
  wine reg add 'HKCU\Environment' /v TMP /d "$temp" /f >/dev/null
  wineserver -w
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  touch "$WINEPREFIX/.velk-ready"
}

configure_and_build() {
  local dir=$1 toolchain=$2
  shift 2
  cmake -S "$root" -B "$root/$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$toolchain" \
    -DVELK_BENCH=OFF -DVELK_FUZZ=OFF "$@" >/dev/null
  cmake --build "$root/$dir"
}

configure_and_build build-win64 mingw-x86_64.cmake
# 32-bit Wine needs i386 packages that the archive does not always serve
# cleanly, so the 32-bit build is compiled (warnings are errors) but not
# run: its programs only.
configure_and_build build-win32 mingw-i686.cmake -DVELK_TESTS=OFF

prepare_prefix "$root/build-win64"
# A persistent wineserver: without it every test waits for Wine's helpers to
# let go of the output pipe before it counts as finished.
wineserver -p
trap 'wineserver -k || true; wineserver -w || true' EXIT
# Wine's own helper processes start with the first program and inherit its
# output; started here, they hold no pipe of ctest's.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
(cd "$root/build-win64" && ctest --output-on-failure -j2)

# End to end across the two systems.
if [[ ! -x "$root/build/velkctl" ]]; then
  "$root/scripts/build.sh" build
fi
"$root/tests/win32/e2e_velkctl.sh" "$root/build-win64" "$root/build/velkctl"
echo "windows: both targets built; the Windows tests and the end-to-end check passed under Wine"
