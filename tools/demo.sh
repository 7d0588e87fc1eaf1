#!/usr/bin/env bash
# The main job on the emulated scanner, from a fresh system root: plug in the
# emulated scanner, find it among the imaging devices, talk to it through the
# hardware service's device and command layers, install it through the
# co-installer, scan its sheets through the image pipeline and the hardware
# service running as a service of its own, and remove it again.
set -euo pipefail
BUILD=${1:-build}
BIN="$(cd "$BUILD/bin" && pwd)"

export QBK_SYSROOT="$(mktemp -d "${TMPDIR:-/tmp}/qbk24-demo.XXXXXX")"
EMU_PID=""
INSTALLED=""
# Programs run from the system root's copies (the hardware service runs
# detached, as a service does); only those are ended here.
stop_root_programs() {
  local exe pid
  for exe in /proc/[0-9]*/exe; do
    pid=${exe#/proc/}; pid=${pid%/exe}
    case "$(readlink "$exe" 2>/dev/null)" in
      "$QBK_SYSROOT"/*) kill "$pid" 2>/dev/null || true ;;
    esac
  done
}
cleanup() {
  if [ -n "$INSTALLED" ]; then
    "$BIN/devinstall" remove > /dev/null 2>&1 || true
  fi
  stop_root_programs
  if [ -n "$EMU_PID" ]; then
    kill "$EMU_PID" 2>/dev/null || true
    wait "$EMU_PID" 2>/dev/null || true
  fi
  rm -rf "$QBK_SYSROOT"
}
trap cleanup EXIT
echo "System root: $QBK_SYSROOT"

step() { printf '\n== %s\n' "$*"; }

step "Registry: a value written and read back"
"$BIN/regtool" set 'HKLM\Software\Demo' Greeting REG_SZ 'Hello from the registry'
"$BIN/regtool" query 'HKLM\Software\Demo'

step "Plug in the emulated scanner (3 sheets in the feeder)"
"$BIN/qbk-scanner-emu" --sheets 3 > "$QBK_SYSROOT/emulator.out" 2>&1 &
EMU_PID=$!
for _ in $(seq 1 100); do
  grep -q '^device ' "$QBK_SYSROOT/emulator.out" 2>/dev/null && break
  sleep 0.1
done
grep '^device ' "$QBK_SYSROOT/emulator.out" || { cat "$QBK_SYSROOT/emulator.out"; exit 1; }

step "Find the scanner among the present imaging devices"
for _ in $(seq 1 50); do
  "$BIN/scannertool" list > "$QBK_SYSROOT/list.out" 2>&1 && break
  sleep 0.1
done
cat "$QBK_SYSROOT/list.out"

for cmd in ready inquiry counter document support keys; do
  step "scannertool $cmd"
  "$BIN/scannertool" "$cmd"
done

step "The device's registry records"
"$BIN/regtool" export 'HKLM\SYSTEM\CurrentControlSet\Enum\USB'

step "Install the scanner through the co-installer"
INSTALLED=yes
"$BIN/devinstall" install
grep -E '^(Firmware|Attempting)' "$QBK_SYSROOT/Log/CoInstaller.log" | tr -d '\r' || true

step "Scan the 3 sheets, both sides, through the image pipeline"
SCANS="$QBK_SYSROOT/scans"
if ! "$BIN/scan" --out "$SCANS"; then
  echo "(duplex failed; scanning the front sides)"
  "$BIN/scan" --simplex --out "$SCANS"
fi

step "The page files"
ls -l "$SCANS" | awk 'NR > 1 { printf "  %-14s %9d bytes\n", $9, $5 }'

step "Remove the scanner"
"$BIN/devinstall" remove
INSTALLED=""

step "Unplug the emulated scanner"
kill "$EMU_PID"
wait "$EMU_PID" 2>/dev/null || true
EMU_PID=""
echo "stopped"
