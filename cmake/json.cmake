# The JSON library (header-only, Debian's nlohmann-json3-dev). Only its own
# folder is put on the include path, so that a cross-build does not see the
# rest of the build machine's headers.
find_path(VOSTREL_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/json-include)
file(CREATE_LINK ${VOSTREL_JSON_INCLUDE}/nlohmann ${CMAKE_BINARY_DIR}/json-include/nlohmann SYMBOLIC)
add_library(vostrel_json INTERFACE)
target_include_directories(vostrel_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/json-include)
