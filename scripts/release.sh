#!/usr/bin/env bash
# Builds both tools and packs them with a short README.txt into
# build/release/Corvantis-<version>.zip.
. "$(dirname "$0")/lib.sh"

install_missing
check_packages
build x86 Corvantis
build x64 Corvantis
cmake -D "TOOLS=$BUILD/x86/Corvantis.exe;$BUILD/x64/Corvantis64.exe" \
      -D "OUTPUT=$BUILD/release" -P "$ROOT/cmake/package.cmake"
