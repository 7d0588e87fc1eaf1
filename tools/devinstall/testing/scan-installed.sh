#!/usr/bin/env bash
# Scans through the suite installed under PREFIX, on the system root that
# QBK_SYSROOT names: plugs in the emulated scanner, installs it, lists and
# scans it through TWAIN and through WIA into OUT, draws the shell
# extension's page there and removes the scanner again. Run where the
# folder BUILD (the build tree) cannot be reached: it stops at once if it
# can.
#
#   scan-installed.sh PREFIX OUT BUILD
set -euo pipefail
prefix=$1 out=$2 build=$3
export PATH="$prefix/bin:/usr/bin:/bin"
unset LD_LIBRARY_PATH

if [ -e "$build/bin" ]; then
  echo "the build tree is in reach: $build" >&2
  exit 1
fi

# The emulator's first two lines say that the scanner is plugged in.
exec 3< <(exec qbk-scanner-emu --sheets 3 --serial installed01 2>&1)
emulator=$!
trap 'kill "$emulator" 2>/dev/null || true' EXIT
read -r device <&3 || true
read -r ready <&3 || true
if [[ $ready != ready* ]]; then
  echo "the emulated scanner did not start: $device $ready" >&2
  exit 1
fi

devinstall install
twainscan --list
twainscan --pixel gray --dpi 100 --duplex --pages 4 --out "$out"
wiascan acquire "$out" callback type=color dpi=100 duplex=1 pages=1
shellpage page "$out/shellpage.png"
devinstall remove
