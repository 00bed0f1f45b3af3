#!/usr/bin/env bash
# The Windows build: installs the MinGW-w64 cross compilers and Wine (its
# 32-bit half too) when they are missing, builds build-win64/ and
# build-win32/ with their tests, and runs the Windows test suite of each under
# Wine without any display, each build in a Wine prefix of its own. Then the
# end-to-end check with each velk-tester.exe: unattended with an operator
# script under Wine, answered over 127.0.0.1 by the Linux velkctl (built into
# build/ when it is not there).
# When the 32-bit half of Wine cannot be installed, one line says so and the
# 32-bit build is only compiled.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 fonts-wine)
source "$root/scripts/install_missing.sh"
install_missing windows "${packages[@]}"

# The 32-bit half of Wine comes from the i386 architecture of the same
# archive, with the same signature checks. Prints nothing when it is there.
wine32_installed() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"
}
install_wine32() {
  wine32_installed && return 0
  echo "windows: installing wine32:i386"
  local added=
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    added=1
  fi
  local log
  log=$(mktemp)
  if DEBIAN_FRONTEND=noninteractive apt-get update -qq >"$log" 2>&1 &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      wine32:i386 >>"$log" 2>&1 && wine32_installed; then
    rm -f "$log"
    return 0
  fi
  # The reason goes to the log; the architecture added for nothing goes
  # again, so that later package updates do not fetch its lists.
  if [[ -n $added ]]; then
    dpkg --remove-architecture i386 2>/dev/null || true
  fi
  echo "windows: the 32-bit Wine (wine32:i386) could not be installed (see $log); only the 64-bit build is tested"
  return 1
}
wine32=1
install_wine32 || wine32=

export WINEDEBUG=-all
# No .NET or browser engine in the prefix: nothing here needs them, and
# wineboot would ask to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# A Wine prefix of the build's own, of the build's architecture (win64 or
# win32: a 32-bit prefix is the 32-bit Windows the program was born on, and
# starts no 64-bit helpers). The null graphics driver (every dialog runs
# headless), Wine's fonts, and a temporary folder on the drive that maps the
# host's root, so that the tests' absolute paths stay valid after they change
# their working directory.
prepare_prefix() {
  local build=$1 arch=$2
  export WINEPREFIX="$build/wine-prefix" WINEARCH=$arch
  if [[ -f "$WINEPREFIX/.velk-ready" ]] && grep -qx "#arch=$arch" "$WINEPREFIX/system.reg"; then
    return
  fi
  echo "windows: preparing the $arch Wine prefix in $WINEPREFIX"
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
if [[ -n $wine32 ]]; then
  configure_and_build build-win32 mingw-i686.cmake -DVELK_TESTS=ON
else
  # Compiled all the same (warnings are errors), but nothing runs it.
  configure_and_build build-win32 mingw-i686.cmake -DVELK_TESTS=OFF
fi

# The Linux velkctl and velk-tester of the end-to-end checks (the TLS check
# has the Linux responder serve velkctl.exe): those programs alone, in build/
# as configured by scripts/build.sh, when they are not there.
if [[ ! -x "$root/build/velkctl" || ! -x "$root/build/velk-tester" ]]; then
  cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
  cmake --build "$root/build" --target velkctl velk-tester
fi

# Stops the Wine server of the current prefix (and the helpers it started).
stop_wine() {
  if [[ -n ${WINEPREFIX:-} ]]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
}
trap stop_wine EXIT

# Wine's desktop process (explorer.exe /desktop) quits a few seconds after
# the last window of the prefix closes, and the next program that opens one
# starts it again, handing it its own standard error. Started by a test, it
# holds that test's output pipe for as long as other tests keep opening
# windows, and ctest waits on the finished test until its time-out (on a
# loaded machine, where the tests with windows drift apart, this happens).
# A window kept open for the whole suite keeps the desktop that the start
# above made, whose standard streams lead nowhere. Returns once the desktop
# has outlived the time it waits before quitting.
desktop_running() {
  local pid
  for pid in $(pgrep -f 'explorer.exe /desktop'); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      return 0
    fi
  done
  return 1
}
keep_desktop() {
  wine notepad.exe </dev/null >/dev/null 2>&1 &
  local waited
  for waited in $(seq 60); do
    sleep 0.5
    if ((waited >= 10)) && desktop_running; then
      return
    fi
  done
  echo "windows: Wine's desktop did not start" >&2
  exit 1
}

# run_windows_suite BUILD ARCH NAME: the build's test suite, then the
# end-to-end check, under Wine in the build's prefix.
summary=()
run_windows_suite() {
  local build=$root/$1 arch=$2 name=$3
  prepare_prefix "$build" "$arch"
  # A persistent Wine server in the prefix: without it every program, the
  # test discovery's listing included, holds its output about 2.7 s after it
  # ends while Wine's helpers wind down, and the discovery has 5 s in all.
  wineserver -p
  # Wine's own helpers (services.exe, winedevice.exe, ...) start with the
  # first program of the prefix and inherit its standard output and error;
  # with a persistent server they never end, and whoever reads that program's
  # output waits for ever. Started here, they hold no pipe of ctest's.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  keep_desktop
  # The suite's log stays in the build folder when the suite fails, under
  # a name of its own per run, and the last line printed names it.
  local log
  log="$build/windows-tests-$(date +%Y%m%d-%H%M%S).log"
  if ! (cd "$build" && ctest --output-on-failure -j2 | tee "$log"); then
    echo "windows: the $name test suite failed under Wine; its ctest log: $log" >&2
    exit 1
  fi
  "$root/tests/win32/e2e_velkctl.sh" "$build" "$root/build/velkctl"
  "$root/tests/win32/e2e_tls.sh" "$build" "$root/build"
  stop_wine
  local count
  count=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$log")
  summary+=("the $name suite passed $count tests, its velk-tester.exe answered velkctl, and its velkctl.exe spoke TLS")
  rm -f "$log"
}

run_windows_suite build-win64 win64 64-bit
if [[ -n $wine32 ]]; then
  run_windows_suite build-win32 win32 32-bit
fi
unset WINEPREFIX

for line in "${summary[@]}"; do
  echo "windows: $line"
done
if [[ -n $wine32 ]]; then
  echo "windows: both targets built; both Windows suites and both end-to-end checks passed under Wine"
else
  echo "windows: both targets built; the 64-bit suite and its end-to-end check passed under Wine (no 32-bit Wine)"
fi
