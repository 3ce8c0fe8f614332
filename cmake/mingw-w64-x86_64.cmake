# Cross-build for 64-bit Windows with Debian's mingw-w64 compilers. Used for the pieces that
# exist only on Windows (the browser launcher library and the registry side of the registrar),
# which are tested here under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNWICK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
