# Script mode (cmake -P): gathers beside Windows programs everything they
# need on a Windows machine with nothing else installed. The Qt plugins named
# go into their folders under DESTINATION; then every DLL the programs and
# those plugins import, and the DLLs those import in turn, is copied from the
# folders of SEARCH (Qt's and the mingw-w64 compiler's, never this Linux
# host's). A DLL found in none of them is one of Windows' own.
#
#   cmake -DDESTINATION=dir -DPROGRAMS="a.exe;b.exe" -DPLUGINS="platforms=x.dll;styles=y.dll"
#         -DSEARCH="dir1;dir2" -DOBJDUMP=x86_64-w64-mingw32-objdump -P windows_runtime.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required DESTINATION PROGRAMS SEARCH OBJDUMP)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "windows_runtime: ${required} is not set")
    endif()
endforeach()

set(pending ${PROGRAMS})
foreach(plugin IN LISTS PLUGINS)
    string(REPLACE "=" ";" parts "${plugin}")
    list(GET parts 0 folder)
    list(GET parts 1 file)
    file(COPY "${file}" DESTINATION "${DESTINATION}/${folder}")
    get_filename_component(name "${file}" NAME)
    list(APPEND pending "${DESTINATION}/${folder}/${name}")
endforeach()

set(seen "")
while(pending)
    list(POP_FRONT pending binary)
    execute_process(COMMAND "${OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE dump
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REPLACE "DLL Name: " "" dll "${import}")
        string(STRIP "${dll}" dll)
        string(TOLOWER "${dll}" key)
        if(key IN_LIST seen)
            continue()
        endif()
        list(APPEND seen "${key}")
        foreach(dir IN LISTS SEARCH)
            if(EXISTS "${dir}/${dll}")
                file(COPY "${dir}/${dll}" DESTINATION "${DESTINATION}")
                list(APPEND pending "${dir}/${dll}")
                break()
            endif()
        endforeach()
    endforeach()
endwhile()
