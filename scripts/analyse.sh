#!/usr/bin/env bash
# analyse.sh [BUILD_TREE [SOURCE...]]: clang-tidy with the checks of .clang-tidy
# over the product code of a configured tree (build/x64 by default): every
# source of its compile database but tests, benchmarks and what lies outside
# the tree (or only the sources named), and the headers beside them. Prints
# each finding; fails on any.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TREE=$(realpath "${1:-$ROOT/build/x64}")
shift || true
DATABASE=$TREE/compile_commands.json
[ -f "$DATABASE" ] || { echo "analyse.sh: no $DATABASE (configure the tree first)" >&2; exit 1; }

mapfile -t sources < <(sed -n 's/^ *"file": "\(.*\)",\?$/\1/p' "$DATABASE" |
  grep "^$ROOT/.*\.\(c\|cpp\)$" | grep -v "^$ROOT/\(tests\|bench\|build\)/" | sort -u)
[ $# -eq 0 ] || mapfile -t sources < <(realpath "$@")
[ ${#sources[@]} -gt 0 ] || { echo "analyse.sh: no product sources in $DATABASE" >&2; exit 1; }
folders=$(printf '%s\n' "${sources[@]}" | sed "s|^$ROOT/||; s|/.*||" | sort -u | paste -sd'|')

# Clang parses as the cross compiler does: its target, and its C++ library's
# headers (clang does not find GCC's versioned "12-posix" folder by itself).
# The tree's -Werror is meant for GCC's warnings, not clang's.
# (Read by awk alone: a reader that stops at the first match would end the
# writer of a pipe with SIGPIPE, which pipefail turns into a failure.)
compiler=$(awk -F'"command": "' 'NF > 1 { split($2, word, " "); if (word[1] ~ /g\+\+/) { print word[1]; exit } }' "$DATABASE")
extra=(--extra-arg=--target="$($compiler -dumpmachine)" --extra-arg=-nostdinc++ --extra-arg=-Wno-error)
while read -r dir; do
  extra+=(--extra-arg=-isystem"$dir")
done < <($compiler -xc++ -E -v - </dev/null 2>&1 | sed -n '/<\.\.\.> search starts/,/^End/p' | grep '/c++')

# Two at a time, as the machine has two cores; quiet unless something is found.
printf '%s\n' "${sources[@]}" |
  xargs -P 2 -n 4 clang-tidy --quiet -p "$TREE" --header-filter="^$ROOT/($folders)/" "${extra[@]}" \
    2> >(grep -v '^[0-9]* warnings\? \(and [0-9]* errors\? \)\?generated\.$' >&2)
