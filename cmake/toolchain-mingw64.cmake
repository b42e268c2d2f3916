# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model), run
# under Wine. The programs are linked statically against libgcc, libstdc++ and
# winpthread so that Wine (or a bare Windows machine) finds every DLL they need in
# its own system folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELTRONA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELTRONA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRONA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRONA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTRONA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static takes the static archives of the runtime; system DLLs stay import libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The test suites run under Wine, each through tests/wine/run-suite.sh, which judges it by
# its own GoogleTest summary.
find_program(VELTRONA_WINE wine REQUIRED)
