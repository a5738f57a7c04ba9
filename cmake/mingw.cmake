# Shared by the two toolchain files: cross-build for Windows with MinGW-w64 (posix
# thread model) for MINGW_TRIPLET, and run the results under WINE_LOADER.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The wine wrapper picks the 32-bit loader whenever wine32 is installed, so each
# architecture names its own loader; WINELOADER makes the processes a test
# starts use the same one. Each architecture's tree has its own prefix.
if(CMAKE_HOST_UNIX)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINELOADER=${WINE_LOADER} ${WINE_LOADER})
endif()
