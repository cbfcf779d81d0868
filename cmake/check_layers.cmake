# Fails when a source file of FOLDERS includes a project header from a folder
# not named in ALLOWED. Run with -P at build time, so an include that reaches
# up a layer breaks the build that adds it.
#   FOLDERS  folders to check, relative to ROOT, separated by "|"
#   ALLOWED  folders their includes may come from, separated by "|"
#   ROOT     the source tree
#   STAMP    written when every include is allowed
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" folders "${FOLDERS}")
string(REPLACE "|" ";" allowed "${ALLOWED}")
set(refused "")
foreach(folder IN LISTS folders)
    file(GLOB files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+/[^\"/]+\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]+)/[^\"/]+\".*$" "\\1" from "${line}")
            string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
            if(NOT from IN_LIST allowed)
                file(RELATIVE_PATH shown "${ROOT}" "${file}")
                string(APPEND refused "  ${shown} includes ${header}\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(refused)
    string(REPLACE ";" ", " allowed_text "${allowed}")
    message(FATAL_ERROR "An include reaches outside its layer (${FOLDERS} may use only "
                        "${allowed_text}):\n${refused}")
endif()
file(TOUCH "${STAMP}")
