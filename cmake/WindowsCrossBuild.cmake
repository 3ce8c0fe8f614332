# Builds the Windows-only pieces (quillet/windows) with mingw-w64 into build-windows/ as part of
# the normal build, so that the Wine tests in the main suite find them. Left out, with a message,
# when the cross compiler is not installed.
include(ExternalProject)

option(TARNWICK_BUILD_WINDOWS "Cross-build the Windows-only pieces with mingw-w64 when it is installed" ON)

# Named after the main build folder (build -> build-windows), so that two main builds never
# share one cross build.
set(TARNWICK_WINDOWS_BUILD_DIR ${CMAKE_BINARY_DIR}-windows
    CACHE PATH "Build folder of the mingw-w64 cross build")
find_program(TARNWICK_MINGW_CXX x86_64-w64-mingw32-g++)
find_program(TARNWICK_WIDL NAMES widl x86_64-w64-mingw32-widl)

if(TARNWICK_BUILD_WINDOWS AND TARNWICK_MINGW_CXX AND TARNWICK_WIDL)
    ExternalProject_Add(windows_build
        SOURCE_DIR ${CMAKE_SOURCE_DIR}/quillet/windows
        BINARY_DIR ${TARNWICK_WINDOWS_BUILD_DIR}
        # Stamps beside the build: deleting build-windows/ starts it afresh.
        STAMP_DIR ${TARNWICK_WINDOWS_BUILD_DIR}/stamp
        TMP_DIR ${TARNWICK_WINDOWS_BUILD_DIR}/tmp
        CMAKE_ARGS
            --toolchain ${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
            -DCMAKE_BUILD_TYPE=Release
            -DWIDL_EXECUTABLE=${TARNWICK_WIDL}
            -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
            -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
        BUILD_ALWAYS ON
        INSTALL_COMMAND "")
    set(TARNWICK_WINDOWS_BUILD ON)
else()
    message(STATUS "mingw-w64 or widl not found: the Windows launcher library and its Wine tests are left out")
    set(TARNWICK_WINDOWS_BUILD OFF)
endif()
