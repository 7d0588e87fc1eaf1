#!/usr/bin/env bash
# Checks C++ files against the tree's .clang-format files without changing
# them: the files named on the command line or, by default, every C++ file
# git tracks. Lists each place that differs and exits with 1 if any does.
#   scripts/check-format.sh [FILE...]
# To see a file as the style wants it: clang-format-14 FILE | diff FILE -
set -euo pipefail

FORMAT=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$FORMAT" >/dev/null; then
  echo "check-format: $FORMAT not found (make deps installs it)" >&2
  exit 2
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  cd "$(dirname "$0")/.."
  mapfile -t files < <(git ls-files -- '*.cpp' '*.cc' '*.h' '*.hpp')
fi
[ ${#files[@]} -gt 0 ] || exit 0

if printf '%s\0' "${files[@]}" | xargs -0 -n 64 -P 4 "$FORMAT" --dry-run --Werror; then
  exit 0
fi
echo "check-format: files above differ from the style (.clang-format)" >&2
exit 1
