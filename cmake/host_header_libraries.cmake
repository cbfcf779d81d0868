# Header-only libraries of the build machine, for a cross build. Their
# package files name /usr/include as the include folder, and putting that on
# a cross compiler's path would mix the host's C library headers into the
# target's; a folder holding only the library's own headers is safe.
set(host_headers "${CMAKE_BINARY_DIR}/host-headers")
find_path(KESTRUM_HOST_JSON_FOLDER nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(MAKE_DIRECTORY "${host_headers}")
file(CREATE_LINK "${KESTRUM_HOST_JSON_FOLDER}/nlohmann" "${host_headers}/nlohmann" SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                                              "${host_headers}")
