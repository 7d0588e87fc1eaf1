#!/usr/bin/env bash
# The main job on the emulated scanner, from a fresh system root.
set -euo pipefail
BUILD=${1:-build}
BIN="$(cd "$BUILD/bin" && pwd)"

export QBK_SYSROOT="$(mktemp -d "${TMPDIR:-/tmp}/qbk24-demo.XXXXXX")"
trap 'rm -rf "$QBK_SYSROOT"' EXIT
echo "System root: $QBK_SYSROOT"

if [ -x "$BIN/regtool" ]; then
  "$BIN/regtool" set 'HKLM\Software\Demo' Greeting REG_SZ 'Hello from the registry'
  "$BIN/regtool" query 'HKLM\Software\Demo'
  "$BIN/regtool" export 'HKLM\Software'
else
  echo "Nothing to show yet."
fi
