# The VS Code extension (editors/vscode) is packed with npm into
# vostrel-nc-<version>.vsix in the build folder by `make vscode`; its test
# checks the manifest (packing it first when it is not there) and skips
# where npm is missing or cannot fetch.
add_test(NAME vscode_extension
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/vscode_extension_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
                 ${PROJECT_VERSION})
set_tests_properties(vscode_extension PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
