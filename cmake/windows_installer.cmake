# The Windows installer: CPack's NSIS generator with Debian's makensis
# (package nsis), made by scripts/build windows as
# ombrel-<version>-win64-setup.exe and -win32-setup.exe:
#   cpack --config build-win64/CPackConfig.cmake -B build-win64/package
# It installs the install tree, programs stripped, under Program Files\Ombrel
# (bin\ holds ombrel.exe, viewer.exe, glswitch.exe and water.pcx), adds a
# Start-menu entry for ombrel.exe (which asks for a model with the Open
# dialogue), has .md2 files opened by ombrel.exe with its icon, and an entry
# in Apps & features whose uninstaller removes all of that again. /S installs
# and uninstalls silently; /D=FOLDER (last) installs elsewhere.
set(CPACK_GENERATOR NSIS)
# What is set here reaches the NSIS script as written (backslashes, $).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME Ombrel)
set(CPACK_PACKAGE_VENDOR Ombrel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for animated key-frame models (.md2)")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Ombrel)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Ombrel)
set(CPACK_NSIS_PACKAGE_NAME Ombrel)
set(CPACK_NSIS_DISPLAY_NAME "Ombrel ${PROJECT_VERSION}")
set(CPACK_STRIP_FILES ON)
# 64-bit programs go to the 64-bit Program Files, by a 64-bit installer;
# both are Unicode installers.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bits 64)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(nsis_target amd64-unicode)
else()
  set(bits 32)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
  set(nsis_target x86-unicode)
endif()
# The target is set before makensis reads the script (-X), not in it:
# makensis lays out $PROGRAMFILES, $PROGRAMFILES32 and $PROGRAMFILES64 for
# the target in force where the script first names one, and CPack's script
# names the install folder before anything of ours. Set later, the 64-bit
# installer kept the 32-bit installer's layout, in which $PROGRAMFILES64
# means "the other view of the registry": for a 64-bit program that is the
# 32-bit view, so it installed into C:\Program Files (x86) wherever Windows
# (or a Wine prefix) has a 32-bit half, and into C:\Program Files only where
# that view has no ProgramFilesDir. (CPack splits the command at spaces: the
# backslash keeps -XTarget and its value one argument.)
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS "-XTarget\\ ${nsis_target}")
set(CPACK_PACKAGE_FILE_NAME ombrel-${PROJECT_VERSION}-win${bits}-setup)
set(CPACK_NSIS_MUI_ICON ${OMBREL_ICON_FILE})
set(CPACK_NSIS_MUI_UNIICON ${OMBREL_ICON_FILE})
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\ombrel.exe")
# The Start-menu entry: Ombrel\Ombrel.lnk, beside the uninstaller's.
set(CPACK_PACKAGE_EXECUTABLES ombrel Ombrel)

# .md2 files: the type Ombrel.md2 with the program's icon and "Open" running
# ombrel.exe on the file. A type .md2 had before is kept and given back when
# Ombrel is removed; the type is offered in "Open with" either way.
set(md2_type "Software\\Classes\\Ombrel.md2")
set(md2_extension "Software\\Classes\\.md2")
set(own_key "Software\\Ombrel\\Ombrel")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegStr SHCTX \"${md2_type}\" \"\" \"IDP2 model\"
  WriteRegStr SHCTX \"${md2_type}\\DefaultIcon\" \"\" \"$INSTDIR\\bin\\ombrel.exe,0\"
  WriteRegStr SHCTX \"${md2_type}\\shell\\open\\command\" \"\" '\"$INSTDIR\\bin\\ombrel.exe\" \"%1\"'
  ReadRegStr $0 SHCTX \"${md2_extension}\" \"\"
  StrCmp $0 \"Ombrel.md2\" md2TypeKept
    WriteRegStr SHCTX \"${own_key}\" \"Md2TypeBefore\" $0
  md2TypeKept:
  WriteRegStr SHCTX \"${md2_extension}\" \"\" \"Ombrel.md2\"
  WriteRegStr SHCTX \"${md2_extension}\\OpenWithProgids\" \"Ombrel.md2\" \"\"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegKey SHCTX \"${md2_type}\"
  DeleteRegValue SHCTX \"${md2_extension}\\OpenWithProgids\" \"Ombrel.md2\"
  DeleteRegKey /ifempty SHCTX \"${md2_extension}\\OpenWithProgids\"
  ReadRegStr $0 SHCTX \"${md2_extension}\" \"\"
  StrCmp $0 \"Ombrel.md2\" 0 md2TypeGivenBack
    ReadRegStr $1 SHCTX \"${own_key}\" \"Md2TypeBefore\"
    StrCmp $1 \"\" 0 +3
      DeleteRegValue SHCTX \"${md2_extension}\" \"\"
      Goto +2
    WriteRegStr SHCTX \"${md2_extension}\" \"\" $1
  md2TypeGivenBack:
  DeleteRegKey /ifempty SHCTX \"${md2_extension}\"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
")
# Explorer's thumbnail provider (explorer/): the class, its DLL and its
# threading model, and .md2's thumbnail handler (the ShellEx key named by
# IThumbnailProvider) naming it, written in the registry view of the DLL's
# width. A handler .md2 had before is kept and given back on removal, as
# the type is. The uninstaller's part runs before the type's, which removes
# .md2 once it is empty.
if(TARGET ombrel_thumbnails)
  set(thumbnail_class "Software\\Classes\\CLSID\\${OMBREL_THUMBNAIL_CLSID}")
  set(thumbnail_handler "Software\\Classes\\.md2\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}")
  set(thumbnail_dll "$INSTDIR\\bin\\ombrel-thumbnails.dll")
  set(thumbnail_view "")
  set(thumbnail_view_back "")
  if(bits EQUAL 64)
    set(thumbnail_view "SetRegView 64")
    set(thumbnail_view_back "SetRegView default")
  endif()
  string(APPEND CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  ${thumbnail_view}
  WriteRegStr SHCTX \"${thumbnail_class}\" \"\" \"Ombrel thumbnail provider\"
  WriteRegStr SHCTX \"${thumbnail_class}\\InprocServer32\" \"\" \"${thumbnail_dll}\"
  WriteRegStr SHCTX \"${thumbnail_class}\\InprocServer32\" \"ThreadingModel\" \"Apartment\"
  ReadRegStr $0 SHCTX \"${thumbnail_handler}\" \"\"
  StrCmp $0 \"${OMBREL_THUMBNAIL_CLSID}\" thumbnailHandlerKept
    WriteRegStr SHCTX \"${own_key}\" \"ThumbnailHandlerBefore\" $0
  thumbnailHandlerKept:
  WriteRegStr SHCTX \"${thumbnail_handler}\" \"\" \"${OMBREL_THUMBNAIL_CLSID}\"
  ${thumbnail_view_back}
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  ${thumbnail_view}
  DeleteRegKey SHCTX \"${thumbnail_class}\"
  ReadRegStr $0 SHCTX \"${thumbnail_handler}\" \"\"
  StrCmp $0 \"${OMBREL_THUMBNAIL_CLSID}\" 0 thumbnailHandlerGivenBack
    ReadRegStr $1 SHCTX \"${own_key}\" \"ThumbnailHandlerBefore\"
    StrCmp $1 \"\" 0 +3
      DeleteRegKey SHCTX \"${thumbnail_handler}\"
      Goto thumbnailHandlerGivenBack
    WriteRegStr SHCTX \"${thumbnail_handler}\" \"\" $1
  thumbnailHandlerGivenBack:
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\.md2\\ShellEx\"
  ${thumbnail_view_back}
  ; A host may still hold the DLL: then it goes when Windows next starts.
  Delete /REBOOTOK \"${thumbnail_dll}\"
${CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS}")
endif()
# The uninstaller removes Software\Ombrel\Ombrel after the commands above;
# its parent, which the installer made too, goes once all else has gone.
set(CPACK_NSIS_DEFINES "Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX \"Software\\Ombrel\"
FunctionEnd")
include(CPack)
