# Builds Tarnwick.dll with clang, a second compiler that sees what GCC lets
# pass. Everything else is the shipped DLL's: mingw-w64 headers and import
# libraries, GCC's C++ library and unwinder (win32 thread model), GNU ld.
# The release is GCC's build; this one is for checking the code.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-win32.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
# Only mingw-w64's headers and libraries, never the build machine's /usr/include.
set(CMAKE_SYSROOT /usr/i686-w64-mingw32)

# clang looks for GCC in lib/gcc/i686-w64-mingw32/<version>, and Debian's
# folders there (12-win32, 12-posix) are no versions it can read: alone it
# finds no C++ headers, no libstdc++, and links mingw-w64's empty crtbegin.o
# and crtend.o. GCC's own register the DLL's unwind tables with the unwinder
# at load; without them its first step of every throw finds no table for
# itself and aborts. -B makes clang take GCC's start files.
execute_process(COMMAND i686-w64-mingw32-g++-win32 -print-libgcc-file-name
                OUTPUT_VARIABLE tarnwick_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(tarnwick_gcc_lib_dir ${tarnwick_libgcc} DIRECTORY)
execute_process(COMMAND i686-w64-mingw32-g++-win32 -xc++ -E -v -
                INPUT_FILE /dev/null OUTPUT_QUIET ERROR_VARIABLE tarnwick_gcc_search COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^ \n]+/include/c\\+\\+[^ \n]*" tarnwick_cxx_includes "${tarnwick_gcc_search}")

set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${tarnwick_cxx_includes})
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-B${tarnwick_gcc_lib_dir}/ -L${tarnwick_gcc_lib_dir}")
endforeach()
# GNU ld then warns of "duplicate section .rdata$_ZTS... has different size",
# dozens of times, with GCC 12's and 14's libstdc++ alike. For mingw targets
# clang emits the C++ library's type_info records and their name texts in
# every object that uses them, as COMDATs that any copy may stand for; GCC
# pads libstdc++'s copies of the names to 4 bytes and marks them "same size".
# Coming first, clang's copy is kept and libstdc++'s are dropped: the names
# read the same, each record and name is in the DLL once, so catch clauses
# and type_info compare as in GCC's DLL (libstdc++ compares the names' texts
# on mingw anyway), and no C++ type or exception crosses the DLL's exports.
# Harmless here, so the link leaves those lines, and only those, out.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/link-quiet-type-names)
