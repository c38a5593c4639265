# Libraries Debian packages for Linux only are made for a Windows build from
# Debian's own source packages: apt-get source fetches a package (checked
# against the archive's signed index) and unpacks it with Debian's patches
# applied, once per build folder. The version is the one of the Linux
# package when that is installed, so both systems run the same code.
# scripts/install-deps enables the source entries apt needs.
#
# ombrel_debian_source(PACKAGE LINUX_PACKAGE MARKER SOURCE_VAR MISSING_VAR)
#   PACKAGE        the source package (giflib)
#   LINUX_PACKAGE  the binary package whose version is taken, when installed
#   MARKER         a file the unpacked tree holds at its top (gif_lib.h)
# Sets SOURCE_VAR to the unpacked tree, or to "" with the reason in MISSING_VAR.
function(ombrel_debian_source package linux_package marker source_var missing_var)
  set(download ${CMAKE_BINARY_DIR}/debian-sources/${package})
  file(GLOB unpacked ${download}/*/${marker})
  set(missing "")
  if(NOT unpacked)
    find_program(OMBREL_APT_GET apt-get)
    find_program(OMBREL_DPKG_QUERY dpkg-query)
    set(wanted ${package})
    if(OMBREL_DPKG_QUERY)
      execute_process(COMMAND ${OMBREL_DPKG_QUERY} -W -f=\${source:Version} ${linux_package}
        OUTPUT_VARIABLE linux_version ERROR_QUIET RESULT_VARIABLE status)
      if(status EQUAL 0 AND linux_version)
        set(wanted ${package}=${linux_version})
      endif()
    endif()
    if(OMBREL_APT_GET)
      message(STATUS "Fetching Debian's source package ${wanted} (for Windows)")
      file(REMOVE_RECURSE ${download})
      file(MAKE_DIRECTORY ${download})
      execute_process(COMMAND ${OMBREL_APT_GET} source --only-source ${wanted}
        WORKING_DIRECTORY ${download} OUTPUT_QUIET ERROR_VARIABLE apt_errors)
      file(GLOB unpacked ${download}/*/${marker})
      if(NOT unpacked)
        # apt's own lines of failure ("E: ..."), which name what was refused.
        string(REGEX MATCHALL "E: [^\n]*" apt_errors "${apt_errors}")
        list(JOIN apt_errors "\n  " apt_errors)
        set(missing "apt-get source ${wanted} failed (scripts/install-deps --test enables Debian's source entries):\n  ${apt_errors}")
      endif()
    else()
      set(missing "apt-get is missing: Debian's source package ${package} can't be fetched")
    endif()
  endif()
  set(tree "")
  if(unpacked)
    list(GET unpacked 0 tree)
    get_filename_component(tree ${tree} DIRECTORY)
  endif()
  set(${source_var} "${tree}" PARENT_SCOPE)
  set(${missing_var} "${missing}" PARENT_SCOPE)
endfunction()
