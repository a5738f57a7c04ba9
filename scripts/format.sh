#!/usr/bin/env bash
# Formats the tree's C and C++ sources in place with .clang-format; with
# --check, changes nothing and lists the lines that would change instead,
# failing if there are any.
. "$(dirname "$0")/lib.sh"

install_missing
cd "$ROOT"
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  clang-format --dry-run --Werror "${sources[@]}"
else
  clang-format -i "${sources[@]}"
fi
