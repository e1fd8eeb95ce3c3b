# The Windows build: vostrelc.exe and vostrel-lsp.exe linked statically
# (they need no DLL beside them) and vostrelc-<version>-win64.zip with the
# programs, the shipped word list, the guide and the VS Code extension
# (where make vscode could pack it: VOSTREL_VSIX). Given VOSTREL_QT_MINGW (the Qt that tools/build_qt_mingw.sh
# builds), also the desktop program, vostrel-<version>-win64.zip with both
# programs and vostrel-<version>-setup.exe, the installer.

foreach(program vostrelc vostrel-lsp)
  target_link_options(${program} PRIVATE -static)
  target_link_libraries(${program} PRIVATE shell32)
endforeach()

# The desktop program's Windows pieces that need no Qt compile here too, so
# that they cannot rot unseen: shortcuts and the version resource.
set(VOSTREL_ICON_FILE ${CMAKE_SOURCE_DIR}/data/vostrel.ico)
configure_file(platform/vostrel.rc.in ${CMAKE_BINARY_DIR}/generated/vostrel.rc @ONLY)
add_library(vostrel_win_pieces STATIC platform/shortcut_win.cpp platform/version_text_win.cpp
  ${CMAKE_BINARY_DIR}/generated/vostrel.rc)
target_include_directories(vostrel_win_pieces PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_link_libraries(vostrel_win_pieces PUBLIC ole32 shell32 uuid version)

set(VOSTREL_WIN_FILES data/ChkData.lst data/vostrel-guide.html)
foreach(shipped ${VOSTREL_WIN_FILES})
  configure_file(${shipped} ${VOSTREL_OUT_DIR}/ COPYONLY)
endforeach()
set(VOSTREL_VSIX "" CACHE FILEPATH "The packed VS Code extension to ship (make vscode), if any")
set(VOSTREL_ZIP_EXTRAS)
set(VOSTREL_ZIP_EXTRA_PATHS)
if(VOSTREL_VSIX AND EXISTS ${VOSTREL_VSIX})
  configure_file(${VOSTREL_VSIX} ${VOSTREL_OUT_DIR}/vostrel-nc.vsix COPYONLY)
  set(VOSTREL_ZIP_EXTRAS vostrel-nc.vsix)
  set(VOSTREL_ZIP_EXTRA_PATHS ${VOSTREL_OUT_DIR}/vostrel-nc.vsix)
else()
  message(STATUS "The Windows zip goes without the VS Code extension: none packed (make vscode)")
endif()

set(VOSTREL_ZIP ${CMAKE_BINARY_DIR}/vostrelc-${PROJECT_VERSION}-win64.zip)
add_custom_command(OUTPUT ${VOSTREL_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VOSTREL_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${VOSTREL_ZIP} --format=zip
          vostrelc.exe vostrel-lsp.exe ChkData.lst vostrel-guide.html ${VOSTREL_ZIP_EXTRAS}
  WORKING_DIRECTORY ${VOSTREL_OUT_DIR}
  DEPENDS vostrelc vostrel-lsp ${VOSTREL_WIN_FILES}
  COMMENT "Packing ${VOSTREL_ZIP}")
add_custom_target(windows_zip ALL DEPENDS ${VOSTREL_ZIP})

# A helper of the Windows cases run under Wine (not packed).
add_executable(hold_file tests/windows/hold_file.cpp)
target_link_options(hold_file PRIVATE -static -municode)

# The code page 932 conversion held to Windows' own converter (run under
# Wine by the tests).
add_executable(cp932_check tests/windows/cp932_check.cpp)
target_link_libraries(cp932_check PRIVATE vostrel_core)
target_link_options(cp932_check PRIVATE -static)

# Presses Ctrl-C in a console while a run goes on (a helper of the tests).
add_executable(ctrl_c tests/windows/ctrl_c.cpp)
target_link_options(ctrl_c PRIVATE -static -municode)

# ---- the desktop program, with Qt for MinGW-w64 (make windows) ----
set(VOSTREL_QT_MINGW "" CACHE PATH "Prefix of the static Qt built for MinGW-w64 by tools/build_qt_mingw.sh")
if(NOT VOSTREL_QT_MINGW)
  return()
endif()
list(PREPEND CMAKE_PREFIX_PATH ${VOSTREL_QT_MINGW})
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport Test)
# The window tests run under Wine as well, with GoogleTest built here from
# the source Debian ships with it.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_subdirectory(shell)
# Qt is linked in statically, and so is MinGW's runtime: one .exe, nothing beside it.
foreach(program vostrel vostrel_devtool gui_tests)
  target_link_options(${program} PRIVATE -static)
endforeach()
# Qt's own dialogs in Japanese, found beside the program (the built-in
# qt.conf says where).
foreach(program vostrel vostrel_devtool)
  qt_add_resources(${program} qt_conf PREFIX /qt/etc BASE ${CMAKE_SOURCE_DIR}/packaging/windows
                   FILES ${CMAKE_SOURCE_DIR}/packaging/windows/qt.conf)
endforeach()
configure_file(${VOSTREL_QT_MINGW}/translations/qtbase_ja.qm ${VOSTREL_OUT_DIR}/translations/qtbase_ja.qm COPYONLY)
configure_file(data/vostrel.png ${VOSTREL_OUT_DIR}/vostrel.png COPYONLY)

# What a user gets, stripped, in one folder: the zip is this folder, the
# installer installs it.
set(stage ${CMAKE_BINARY_DIR}/package)
set(staged_files vostrel.exe vostrelc.exe vostrel-lsp.exe ChkData.lst vostrel-guide.html vostrel.png
    translations/qtbase_ja.qm ${VOSTREL_ZIP_EXTRAS})
list(TRANSFORM staged_files PREPEND ${stage}/ OUTPUT_VARIABLE staged_paths)
find_program(VOSTREL_STRIP NAMES x86_64-w64-mingw32-strip REQUIRED)
add_custom_command(OUTPUT ${staged_paths}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/translations
  COMMAND ${VOSTREL_STRIP} -o ${stage}/vostrel.exe $<TARGET_FILE:vostrel>
  COMMAND ${VOSTREL_STRIP} -o ${stage}/vostrelc.exe $<TARGET_FILE:vostrelc>
  COMMAND ${VOSTREL_STRIP} -o ${stage}/vostrel-lsp.exe $<TARGET_FILE:vostrel-lsp>
  COMMAND ${CMAKE_COMMAND} -E copy ${VOSTREL_OUT_DIR}/ChkData.lst ${VOSTREL_OUT_DIR}/vostrel-guide.html
          ${VOSTREL_OUT_DIR}/vostrel.png ${VOSTREL_ZIP_EXTRA_PATHS} ${stage}/
  COMMAND ${CMAKE_COMMAND} -E copy ${VOSTREL_OUT_DIR}/translations/qtbase_ja.qm ${stage}/translations/
  DEPENDS vostrel vostrelc vostrel-lsp ${VOSTREL_WIN_FILES}
  COMMENT "Staging the Windows package in ${stage}")

set(VOSTREL_GUI_ZIP ${CMAKE_BINARY_DIR}/vostrel-${PROJECT_VERSION}-win64.zip)
add_custom_command(OUTPUT ${VOSTREL_GUI_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VOSTREL_GUI_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${VOSTREL_GUI_ZIP} --format=zip ${staged_files}
  WORKING_DIRECTORY ${stage}
  DEPENDS ${stage}/vostrel.exe
  COMMENT "Packing ${VOSTREL_GUI_ZIP}")

find_program(VOSTREL_MAKENSIS makensis REQUIRED)
set(VOSTREL_SETUP ${CMAKE_BINARY_DIR}/vostrel-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${VOSTREL_SETUP}
  COMMAND ${VOSTREL_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DFILES=${stage}
          -DICON=${CMAKE_SOURCE_DIR}/data/vostrel.ico -DOUTFILE=${VOSTREL_SETUP}
          ${CMAKE_SOURCE_DIR}/packaging/windows/vostrel.nsi
  DEPENDS ${stage}/vostrel.exe ${CMAKE_SOURCE_DIR}/packaging/windows/vostrel.nsi ${CMAKE_SOURCE_DIR}/data/vostrel.ico
  COMMENT "Making the installer ${VOSTREL_SETUP}")
add_custom_target(windows_package ALL DEPENDS ${VOSTREL_GUI_ZIP} ${VOSTREL_SETUP})
