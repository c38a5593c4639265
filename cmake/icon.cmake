# The Windows programs carry the icon group "MX_ICON": one 32 x 32,
# 16-colour icon drawn at build time (assets/), language 0x0807.
set(OMBREL_ICON_FILE ${CMAKE_BINARY_DIR}/assets/icon.ico)
set(OMBREL_ICON_RESOURCE ${CMAKE_BINARY_DIR}/assets/icon.rc)
if(WIN32)
  configure_file(${CMAKE_SOURCE_DIR}/assets/icon.rc.in ${OMBREL_ICON_RESOURCE} @ONLY)
endif()

# Gives a Windows program the icon resource; does nothing elsewhere.
function(ombrel_add_icon target)
  if(NOT WIN32)
    return()
  endif()
  target_sources(${target} PRIVATE ${OMBREL_ICON_RESOURCE})
  set_source_files_properties(${OMBREL_ICON_RESOURCE} PROPERTIES OBJECT_DEPENDS ${OMBREL_ICON_FILE})
  add_dependencies(${target} icon-file)
endfunction()
