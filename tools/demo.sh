#!/usr/bin/env bash
# The main job on the emulated scanner, from a fresh system root: plug in the
# emulated scanner, find it among the imaging devices, and talk to it through
# the hardware service's device and command layers.
set -euo pipefail
BUILD=${1:-build}
BIN="$(cd "$BUILD/bin" && pwd)"

export QBK_SYSROOT="$(mktemp -d "${TMPDIR:-/tmp}/qbk24-demo.XXXXXX")"
EMU_PID=""
cleanup() {
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
