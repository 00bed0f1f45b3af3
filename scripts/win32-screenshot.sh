#!/usr/bin/env bash
# Shows the Win32 message dialog of velk-tester.exe under Wine on a virtual X
# display and takes a screenshot: build-win64/win32-dialog.png. A request of
# the Linux velkctl opens the dialog; the installation is a temporary one with
# a small controller, so that the rows, the four buttons and the scroll bar
# fit the dialog's first view. Runs scripts/windows.sh's build first when
# build-win64/velk-tester.exe is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win64"
output="$build/win32-dialog.png"

packages=(xvfb x11-apps x11-utils imagemagick)
source "$root/scripts/install_missing.sh"
install_missing screenshot "${packages[@]}"

if [[ ! -x "$build/velk-tester.exe" ]]; then
  "$root/scripts/windows.sh"
fi
if [[ ! -x "$root/build/velkctl" ]]; then
  "$root/scripts/build.sh" build
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix of its own with the X11 driver; Managed=N keeps the window
# manager out (there is none) and lets a window close without waiting.
export WINEPREFIX="$build/wine-prefix-x11"
display=:97
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
install=$(mktemp -d "$build/screenshot.XXXXXX")
responder=
client=
cleanup() {
  for pid in $client $responder; do
    kill "$pid" 2>/dev/null || true
  done
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$install"
}
trap cleanup EXIT
export DISPLAY=$display

if [[ ! -f "$WINEPREFIX/.velk-ready" ]]; then
  echo "screenshot: preparing the Wine prefix in $WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver -w
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  wineserver -w
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  touch "$WINEPREFIX/.velk-ready"
fi

field() {
  printf '<FIELD>\n<FIELD_NO>%s\n<FIELD_NAME>%s\n<MAX_LEN>%s\n<LENGTH_BYTES>%s\n</FIELD>\n' "$@"
}
mkdir -p "$install/data" "$install/log" "$install/work"
{
  printf '<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>C01\n<FIELD_SPEC_LIST>\n'
  field 2 "Primary Account Number" 19 2
  field 3 "Processing Code" 6 0
  field 4 "Amount, Transaction" 12 0
  field 11 "System Trace Audit Number" 6 0
  field 39 "Response Code" 2 0
  printf '</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n'
} >"$install/data/velk.cfg"
port=$("$root/scripts/free_port.sh")

(cd "$install/work" && exec wine "$build/velk-tester.exe" C01 "$port" >/dev/null 2>&1) &
responder=$!
# velkctl is refused until the responder listens; the request that gets
# through opens the dialog and waits there for its response.
(cd "$install/work" && for _ in $(seq 1 100); do
  "$root/build/velkctl" --config "$install/data/velk.cfg" send C01 127.0.0.1 "$port" \
    0=0200 2=4000123412341234 3=011000 4=000000001000 11=000123 --timeout 60 >/dev/null 2>&1 && break
  sleep 0.2
done) &
client=$!

window=
for _ in $(seq 1 150); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"VELK Tester"/ { print $1; exit }')
  [[ -n $window ]] && break
  sleep 0.2
done
[[ -n $window ]] || { echo "screenshot: the dialog did not appear" >&2; exit 1; }
sleep 2
import -window "$window" "$output"
echo "screenshot: $output"
