# The header-only libraries (CLI11, nlohmann-json, stb, tinygltf) as
# targets every folder may link: CLI11::CLI11, nlohmann_json::nlohmann_json,
# PkgConfig::STB and tinygltf::headers.
#
# On Linux they are Debian's packages, found as usual. The Windows cross
# build takes the same headers from those packages (they are the same for
# every target), but it must not see /usr/include itself, whose C library
# headers would hide MinGW's: a folder in the build tree holds links to
# just their files and folders.
if(WIN32)
  set(header_links ${CMAKE_BINARY_DIR}/linux-headers)
  file(MAKE_DIRECTORY ${header_links})
  foreach(entry CLI:libcli11-dev nlohmann:nlohmann-json3-dev stb:libstb-dev tiny_gltf.h:libtinygltf-dev)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 name)
    list(GET entry 1 package)
    if(NOT EXISTS /usr/include/${name})
      message(FATAL_ERROR "/usr/include/${name} is missing (Debian package ${package})")
    endif()
    file(CREATE_LINK /usr/include/${name} ${header_links}/${name} SYMBOLIC)
  endforeach()
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  add_library(tinygltf::headers INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json tinygltf::headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${header_links})
  add_library(PkgConfig::STB INTERFACE IMPORTED GLOBAL)
  set_target_properties(PkgConfig::STB PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${header_links}/stb)
else()
  find_package(CLI11 CONFIG REQUIRED)
  find_package(nlohmann_json CONFIG REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(STB REQUIRED IMPORTED_TARGET GLOBAL stb)
  # Debian's package also carries a compiled libtinygltf.so; the export
  # compiles the header's code itself (model/gltf.h), as on Windows, so
  # only the header is wanted here.
  if(NOT EXISTS /usr/include/tiny_gltf.h)
    message(FATAL_ERROR "/usr/include/tiny_gltf.h is missing (Debian package libtinygltf-dev)")
  endif()
  add_library(tinygltf::headers INTERFACE IMPORTED GLOBAL)
endif()
# tinygltf writes and reads its JSON with nlohmann-json.
set_property(TARGET tinygltf::headers PROPERTY INTERFACE_LINK_LIBRARIES nlohmann_json::nlohmann_json)
