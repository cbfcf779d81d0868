# Windows: the Qt DLLs, the platform and style plugins and the compiler's
# runtime DLLs beside the programs, in the build folder (so that they run
# from there under Wine) and in the installed folder (for the installer and
# the zip). Included where Qt has been found (the Qt targets are the
# directory's own).

# The runtime DLLs of the -posix compilers (libstdc++-6, libgcc_s_seh-1,
# libwinpthread-1) live in the compiler's own folders: ask it where.
set(kestrum_runtime_search "")
foreach(dll Qt6Core.dll libstdc++-6.dll libwinpthread-1.dll)
    if(dll STREQUAL "Qt6Core.dll")
        get_target_property(found Qt6::Core IMPORTED_LOCATION_RELEASE)
    else()
        execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}
                        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        message(FATAL_ERROR "${dll} not found (got '${found}'): is the mingw-w64 runtime installed?")
    endif()
    get_filename_component(dir "${found}" DIRECTORY)
    list(APPEND kestrum_runtime_search "${dir}")
endforeach()
list(REMOVE_DUPLICATES kestrum_runtime_search)

find_program(KESTRUM_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)

set(kestrum_qt_plugins "platforms=$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>")
if(TARGET Qt6::QWindowsVistaStylePlugin)
    list(APPEND kestrum_qt_plugins "styles=$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>")
endif()

# kestrum_gather_windows_runtime(target [PLUGIN...]) gathers, after each
# build of the target, what it needs beside it; PLUGINs ("folder=file") are
# extra Qt plugins (the tests' offscreen platform).
function(kestrum_gather_windows_runtime target)
    set(plugins ${kestrum_qt_plugins} ${ARGN})
    add_custom_command(
        TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" "-DDESTINATION=$<TARGET_FILE_DIR:${target}>"
                "-DPROGRAMS=$<TARGET_FILE:${target}>" "-DPLUGINS=${plugins}"
                "-DSEARCH=${kestrum_runtime_search}" "-DOBJDUMP=${KESTRUM_OBJDUMP}" -P
                "${PROJECT_SOURCE_DIR}/cmake/windows_runtime.cmake"
        VERBATIM)
endfunction()

# The same for the installed folder, from the installed programs.
function(kestrum_install_windows_runtime)
    set(programs "")
    foreach(name IN LISTS ARGN)
        list(APPEND programs "\${CMAKE_INSTALL_PREFIX}/${name}")
    endforeach()
    install(CODE "
        execute_process(COMMAND \"${CMAKE_COMMAND}\" \"-DDESTINATION=\${CMAKE_INSTALL_PREFIX}\"
                        \"-DPROGRAMS=${programs}\" \"-DPLUGINS=${kestrum_qt_plugins}\"
                        \"-DSEARCH=${kestrum_runtime_search}\" \"-DOBJDUMP=${KESTRUM_OBJDUMP}\"
                        -P \"${PROJECT_SOURCE_DIR}/cmake/windows_runtime.cmake\"
                        COMMAND_ERROR_IS_FATAL ANY)")
endfunction()
