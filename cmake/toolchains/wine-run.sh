#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix belongs to the build folder; scripts/windows.sh prepares it
# (null graphics driver, fonts) before the tests run.
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
