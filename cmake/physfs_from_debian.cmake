# PhysFS for a Windows build, made from Debian's own source package
# (debian_source.cmake): ExternalProject builds it with this build's cross
# compiler as a static library, once.
#
# Sets PHYSFS_FOUND and, when found, physfs_library (the target to link);
# else PHYSFS_MISSING says why. OMBREL_PHYSFS_SOURCE_DIR names an unpacked
# PhysFS source tree to build instead (a machine that can't reach Debian's
# sources).
set(OMBREL_PHYSFS_SOURCE_DIR "" CACHE PATH
    "An unpacked PhysFS source tree for the Windows build; empty: Debian's source package (apt-get source)")
set(PHYSFS_FOUND OFF)
set(PHYSFS_MISSING "")
set(physfs_folder ${CMAKE_BINARY_DIR}/physfs)
set(physfs_source ${OMBREL_PHYSFS_SOURCE_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/debian_source.cmake)
if(NOT physfs_source)
  ombrel_debian_source(libphysfs libphysfs-dev CMakeLists.txt physfs_source PHYSFS_MISSING)
elseif(NOT EXISTS ${physfs_source}/CMakeLists.txt)
  set(PHYSFS_MISSING "OMBREL_PHYSFS_SOURCE_DIR (${physfs_source}) holds no PhysFS source tree")
  set(physfs_source "")
endif()

if(physfs_source)
  include(ExternalProject)
  set(physfs_prefix ${physfs_folder}/install)
  set(physfs_archive ${physfs_prefix}/lib/${CMAKE_STATIC_LIBRARY_PREFIX}physfs${CMAKE_STATIC_LIBRARY_SUFFIX})
  get_filename_component(toolchain ${CMAKE_TOOLCHAIN_FILE} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
  # A static library only, with the readers of the archives ombrel opens
  # (PACK and zip): the others would be code for files it never reads.
  ExternalProject_Add(physfs-build
    SOURCE_DIR ${physfs_source}
    BINARY_DIR ${physfs_folder}/build
    INSTALL_DIR ${physfs_prefix}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${toolchain} -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
               -DCMAKE_INSTALL_LIBDIR=lib -DPHYSFS_BUILD_STATIC=ON -DPHYSFS_BUILD_SHARED=OFF -DPHYSFS_BUILD_TEST=OFF
               -DPHYSFS_BUILD_DOCS=OFF -DPHYSFS_ARCHIVE_ZIP=ON -DPHYSFS_ARCHIVE_QPAK=ON -DPHYSFS_ARCHIVE_7Z=OFF
               -DPHYSFS_ARCHIVE_GRP=OFF -DPHYSFS_ARCHIVE_WAD=OFF -DPHYSFS_ARCHIVE_HOG=OFF -DPHYSFS_ARCHIVE_MVL=OFF
               -DPHYSFS_ARCHIVE_SLB=OFF -DPHYSFS_ARCHIVE_ISO9660=OFF -DPHYSFS_ARCHIVE_VDF=OFF
    BUILD_BYPRODUCTS ${physfs_archive}
    UPDATE_COMMAND ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
  # The include folder exists from the start: an imported target's must.
  file(MAKE_DIRECTORY ${physfs_prefix}/include)
  add_library(physfs_static STATIC IMPORTED GLOBAL)
  # Its Windows layer asks the shell and the user profile for folders.
  set_target_properties(physfs_static PROPERTIES
    IMPORTED_LOCATION ${physfs_archive}
    INTERFACE_INCLUDE_DIRECTORIES ${physfs_prefix}/include
    INTERFACE_LINK_LIBRARIES "shell32;userenv;advapi32;user32")
  add_dependencies(physfs_static physfs-build)
  set(physfs_library physfs_static)
  set(PHYSFS_FOUND ON)
  message(STATUS "PhysFS for Windows: built from ${physfs_source}")
else()
  message(WARNING "No PhysFS for this Windows build, which will read no archives: ${PHYSFS_MISSING}")
endif()
