# The libraries are layered: the core, then the GUI kit (ui/), then each
# subsystem's GUI, then the application that builds and connects the
# windows. kestrum_enforce_layer(target FOLDERS a b ALLOWED c d) makes the
# target's build fail when a file of its folders includes a header from a
# folder outside ALLOWED (its own folders are always allowed).
function(kestrum_enforce_layer target)
    cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "FOLDERS;ALLOWED")
    set(files "")
    foreach(folder IN LISTS layer_FOLDERS)
        file(GLOB found CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${folder}/*.h"
             "${PROJECT_SOURCE_DIR}/${folder}/*.cpp")
        list(APPEND files ${found})
    endforeach()
    list(APPEND layer_ALLOWED ${layer_FOLDERS})
    list(JOIN layer_FOLDERS "|" folders)
    list(JOIN layer_ALLOWED "|" allowed)
    set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}.layer-checked")
    add_custom_command(
        OUTPUT "${stamp}"
        COMMAND "${CMAKE_COMMAND}" "-DFOLDERS=${folders}" "-DALLOWED=${allowed}"
                "-DROOT=${PROJECT_SOURCE_DIR}" "-DSTAMP=${stamp}"
                -P "${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake"
        DEPENDS ${files} "${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake"
        COMMENT "Checking the includes of ${target}"
        VERBATIM)
    add_custom_target(${target}_layer DEPENDS "${stamp}")
    add_dependencies(${target} ${target}_layer)
endfunction()
