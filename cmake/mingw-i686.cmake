# Cross build for i686 Windows with Debian's MinGW-w64 (posix threads, so
# std::thread and friends exist). Programs link everything statically but
# the system's DLLs: no libgcc, libstdc++ or winpthread DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Floating point in SSE2 registers, as the 64-bit build and Linux compute:
# GCC's default for i686 (-march=pentiumpro -mfpmath=387) computes on the
# x87 unit, every float and double expression held in 80 bits and rounded
# only when stored, and a third of the exported floats came out different
# (by up to 7.6e-6). The programs then need a processor with SSE2 (Pentium
# 4, Athlon 64 and later). With SSE on, MinGW's GCC realigns the stack in
# each function that needs 16 bytes (-mstackrealign), as Windows promises 4.
set(sse2 "-msse2 -mfpmath=sse")
set(CMAKE_C_FLAGS_INIT "${sse2}")
set(CMAKE_CXX_FLAGS_INIT "${sse2}")
# The _INIT values seed a new build folder's cache only: a folder configured
# before them gets them added to its cached flags.
foreach(lang C CXX)
  if(DEFINED CACHE{CMAKE_${lang}_FLAGS} AND NOT "$CACHE{CMAKE_${lang}_FLAGS}" MATCHES "-mfpmath=sse")
    string(STRIP "${sse2} $CACHE{CMAKE_${lang}_FLAGS}" flags)
    set_property(CACHE CMAKE_${lang}_FLAGS PROPERTY VALUE "${flags}")
  endif()
endforeach()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# pkg-config sees the target's libraries only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${CMAKE_FIND_ROOT_PATH}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
