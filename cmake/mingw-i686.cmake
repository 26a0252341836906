# Cross-builds the 32-bit tests, stand-ins and benchmark on Debian with
# mingw-w64. Their posix thread model gives std::mutex, which GoogleTest needs
# (GCC 12's win32 model has none); the DLL they load is built in a tree of its
# own with the shipped DLL's compilers.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-win32.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(TARNWICK_DLL_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/mingw-i686-win32.cmake CACHE FILEPATH
    "Toolchain of the separate tree that builds Tarnwick.dll; empty: build it in this tree")
set(TARNWICK_CLANG_DLL_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/clang-mingw-i686.cmake CACHE FILEPATH
    "Toolchain of clang's Tarnwick.dll (bin/clang), for the DLL-level and end-to-end tests; empty: none")

# Tests run the real binaries under Wine, in the prefix and display of the test run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
