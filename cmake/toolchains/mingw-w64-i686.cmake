# Cross build of Kestrelcore for 32-bit Windows with Debian's mingw-w64 (posix threads).
# Only Kestrelcore, its tests and kestrel are built (SCRIBELINE_KESTREL_ONLY): GDAL, pugixml,
# libpng and Qt have no Windows packages here. shapelib is compiled from sources that the
# caller extracts (KESTRELCORE_SHAPELIB_SOURCE); scripts/test-windows.sh does all of this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(_triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_DLLTOOL ${_triple}-dlltool)
set(CMAKE_OBJDUMP ${_triple}-objdump)

# Libraries and headers of the target only; host programs (objdump, nm) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic: x87's 80-bit intermediates change the last digits of the number texts.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Programs carry the C++ runtime, libgcc and winpthread, so that they run without the
# mingw DLLs next to them (the DLL does the same in its own target).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(SCRIBELINE_KESTREL_ONLY ON CACHE BOOL "Build only Kestrelcore, its tests and kestrel")
# No GoogleTest package for the target: build Debian's sources (package googletest).
set(SCRIBELINE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
