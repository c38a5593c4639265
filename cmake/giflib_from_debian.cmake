# giflib for a Windows build, made from Debian's own source package
# (debian_source.cmake): its library is eight C files, built here with this
# build's compiler as a static library, as its own Makefile lists them.
#
# Sets GIF_FOUND and, when found, the target GIF::GIF; else GIF_MISSING
# says why.
include(${CMAKE_CURRENT_LIST_DIR}/debian_source.cmake)
set(GIF_FOUND OFF)
ombrel_debian_source(giflib libgif-dev gif_lib.h giflib_source GIF_MISSING)
if(giflib_source)
  add_library(giflib_static STATIC
    ${giflib_source}/dgif_lib.c ${giflib_source}/egif_lib.c ${giflib_source}/gifalloc.c
    ${giflib_source}/gif_err.c ${giflib_source}/gif_font.c ${giflib_source}/gif_hash.c
    ${giflib_source}/openbsd-reallocarray.c ${giflib_source}/quantize.c)
  # Its code is not ours to hold to our warnings.
  target_compile_options(giflib_static PRIVATE -w)
  target_include_directories(giflib_static SYSTEM INTERFACE ${giflib_source})
  add_library(GIF::GIF ALIAS giflib_static)
  set(GIF_FOUND ON)
  message(STATUS "giflib for Windows: built from ${giflib_source}")
else()
  message(WARNING "No giflib for this Windows build, which will draw no pictures: ${GIF_MISSING}")
endif()
