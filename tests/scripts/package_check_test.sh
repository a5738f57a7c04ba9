#!/usr/bin/env bash
# check_packages over small CMake trees: the program each names is traced to
# the package that provides it, through links and triplet variables, and a
# package missing from the list, or a program missing from the machine, fails
# the check by name.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/package_check.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0

# expect pass|fail PACKAGE... -- WORDS...: the verdict on $tree with that
# list, and each word in what the check said.
expect() {
  local verdict=$1 said status=0 word
  shift
  PACKAGES=()
  while [ "$1" != -- ]; do PACKAGES+=("$1"); shift; done
  shift
  said=$(check_packages "$tree" 2>&1) || status=$?
  if { [ "$verdict" = pass ] && [ $status -ne 0 ]; } || { [ "$verdict" = fail ] && [ $status -eq 0 ]; }; then
    echo "FAIL ($CASE): expected the check to $verdict with (${PACKAGES[*]}); it said: $said"
    failures=$((failures + 1)); return
  fi
  for word in "$@"; do
    if [[ "$said" != *"$word"* ]]; then
      echo "FAIL ($CASE): '$word' not named in: $said"
      failures=$((failures + 1))
    fi
  done
}

# The compiler named through a triplet variable in a toolchain file, and the
# tree's own files (build/ is not read).
CASE="triplet in a toolchain file"
mkdir -p "$tree/cmake" "$tree/build"
echo 'set(MINGW_TRIPLET x86_64-w64-mingw32)' >"$tree/cmake/x64.cmake"
echo 'set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-posix)' >"$tree/cmake/compilers.cmake"
echo 'find_program(NOT_READ never-installed-program REQUIRED)' >"$tree/build/CMakeLists.txt"
expect fail -- x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix
expect pass gcc-mingw-w64-x86-64-posix --

# cc is a link to a link (the alternatives) to gcc: listing the package of any
# step will do, and the one named is the first step a package owns.
CASE="program reached through alternatives"
rm -r "$tree/cmake"
printf 'find_program(HOST_CC\n  NAMES cc gcc REQUIRED)\n' >"$tree/CMakeLists.txt"
expect fail -- "cc: provided by gcc,"
expect pass gcc --

# The first name found is the program, and an essential package (bash) is on
# every Debian machine.
CASE="first name found, essential package"
echo 'find_program(SHELL NAMES never-installed-program bash)' >"$tree/CMakeLists.txt"
expect pass --

CASE="program missing from the machine"
echo 'find_program(TOOL never-installed-program REQUIRED) # a comment (with parentheses)' >"$tree/CMakeLists.txt"
expect fail gcc -- "never-installed-program: not found"

[ $failures -eq 0 ] && echo "check_packages: all cases passed"
exit $((failures > 0))
