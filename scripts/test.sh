#!/usr/bin/env bash
# Installs what is missing, builds both architectures into build/x86 and
# build/x64, analyses the product code, and runs every test under Wine for each
# architecture this machine can run; CORVANTIS_ARCHS (x86 or x64) narrows the
# run. One CTest run covers them all: its summary is the last line, and the exit
# code its verdict.
. "$(dirname "$0")/lib.sh"

install_missing
check_packages
choose_archs
if [ ${#ARCHS[@]} -eq 0 ]; then
  printf 'No architecture left to test (%s).\n' "${SKIPPED[@]}" >&2
  exit 1
fi
build x86
build x64
echo "Analysing the product code (clang-tidy, x64)."
"$ROOT/scripts/analyse.sh" "$BUILD/x64"
start_display
start_printing
for arch in "${ARCHS[@]}"; do prepare_wine "$arch"; done

SUITES="$BUILD/suites"
mkdir -p "$SUITES"
for arch in "${ARCHS[@]}"; do echo "subdirs(\"$BUILD/$arch\")"; done >"$SUITES/CTestTestfile.cmake"

echo "Testing: ${ARCHS[*]}."
for skipped in "${SKIPPED[@]}"; do echo "Not testing $skipped."; done
ctest --test-dir "$SUITES" --output-on-failure --timeout 300 --no-tests=error "$@"
