#!/usr/bin/env bash
# Installs what is missing, builds into build/, and runs every test under Wine.
# The exit code is the tests' verdict.
. "$(dirname "$0")/lib.sh"

install_missing
configure_and_build
start_display
start_printing
prepare_wine
cd "$ROOT"
ctest --preset mingw-i686 "$@"
