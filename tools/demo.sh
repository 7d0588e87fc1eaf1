#!/usr/bin/env bash
# The main job as a TWAIN scan, from a fresh system root: plug in the
# emulated scanner, install it through the co-installer, scan its 3 sheets
# on both sides with twainscan (a TWAIN application on our data source
# manager, through the installed data source, the image pipeline and the
# hardware service running as a service of its own) into ./scans as TIFF
# files, scan a fourth sheet through the still-image (WIA) driver with
# wiascan into ./scans as BMP files, picture the data source's dialogs there
# as PNG files, and remove the scanner again. A step that fails stops the
# demo with its reason.
set -euo pipefail
BUILD=${1:-build}
BIN="$(cd "$BUILD/bin" && pwd)"
SCANS="$(pwd)/scans"

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
fail() { echo "demo: $*" >&2; exit 1; }
step() { printf '\n== %s\n' "$*"; }
echo "System root: $QBK_SYSROOT"

step "Plug in the emulated scanner (4 sheets in the feeder)"
"$BIN/qbk-scanner-emu" --sheets 4 > "$QBK_SYSROOT/emulator.out" 2>&1 &
EMU_PID=$!
for _ in $(seq 1 100); do
  grep -q '^ready ' "$QBK_SYSROOT/emulator.out" 2>/dev/null && break
  kill -0 "$EMU_PID" 2>/dev/null || break
  sleep 0.1
done
grep '^device ' "$QBK_SYSROOT/emulator.out" ||
  fail "the emulated scanner did not start: $(cat "$QBK_SYSROOT/emulator.out")"

step "Install it through the co-installer"
INSTALLED=yes
"$BIN/devinstall" install || fail "the installation failed"

step "The TWAIN data sources our data source manager finds"
"$BIN/twainscan" --list | grep . || fail "no TWAIN data source is installed"

step "Scan the 3 sheets, both sides, into $SCANS"
mkdir -p "$SCANS"
rm -f "$SCANS"/page-*.tif "$SCANS"/page-*.bmp
"$BIN/twainscan" --pixel color --dpi 100 --duplex --pages 6 --xfer native --out "$SCANS" ||
  fail "the TWAIN scan failed"

step "The page files"
pages=("$SCANS"/page-*.tif)
[ -e "${pages[0]}" ] && [ "${#pages[@]}" -eq 6 ] ||
  fail "3 sheets on both sides make 6 pages, but the scan left ${#pages[@]} files"
for page in "${pages[@]}"; do
  printf '  %-14s %9d bytes\n' "$(basename "$page")" "$(stat -c %s "$page")"
done

step "Scan the last sheet, both sides, through the WIA driver into $SCANS"
"$BIN/wiascan" acquire "$SCANS" callback type=color dpi=100 duplex=1 pages=1 ||
  fail "the WIA scan failed"
bitmaps=("$SCANS"/page-*.bmp)
[ -e "${bitmaps[0]}" ] && [ "${#bitmaps[@]}" -eq 2 ] ||
  fail "one sheet on both sides makes 2 pages, but the WIA scan left ${#bitmaps[@]} files"
for page in "${bitmaps[@]}"; do
  printf '  %-14s %9d bytes\n' "$(basename "$page")" "$(stat -c %s "$page")"
done

step "Pictures of the data source's settings dialog and of its progress dialog (one more sheet)"
rm -f "$SCANS"/dialog-*.png
"$BIN/qbk-scanner-emu" control load 1 > /dev/null || fail "the emulated scanner took no sheet"
"$BIN/dialogpictures" --out "$SCANS" > /dev/null || fail "the dialog pictures could not be made"
for picture in "$SCANS"/dialog-*.png; do
  printf '  %-26s %9d bytes\n' "$(basename "$picture")" "$(stat -c %s "$picture")"
done

step "Remove the scanner"
"$BIN/devinstall" remove || fail "the removal failed"
INSTALLED=""

step "Unplug the emulated scanner"
kill "$EMU_PID"
wait "$EMU_PID" 2>/dev/null || true
EMU_PID=""
echo "stopped"
