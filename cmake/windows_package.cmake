# The Windows package: vostrelc.exe linked statically (it needs no DLL
# beside it), and vostrelc-<version>-win64.zip with the program, the shipped
# word list and the guide.

target_link_options(vostrelc PRIVATE -static)
target_link_libraries(vostrelc PRIVATE shell32)

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

set(VOSTREL_ZIP ${CMAKE_BINARY_DIR}/vostrelc-${PROJECT_VERSION}-win64.zip)
add_custom_command(OUTPUT ${VOSTREL_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VOSTREL_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${VOSTREL_ZIP} --format=zip
          vostrelc.exe ChkData.lst vostrel-guide.html
  WORKING_DIRECTORY ${VOSTREL_OUT_DIR}
  DEPENDS vostrelc ${VOSTREL_WIN_FILES}
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
