# Checks one library of the program against its layer, as a test:
#   cmake -DSOURCE_DIR=<repo> -DLIBRARY=<name> -DSOURCE_BASE=<dir> -DSOURCES=<x|y>
#         -DFOLDERS=<a|b> -DFORBIDDEN=<app|panel> -DQT_MODULE_DIRS=<.../QtWidgets|...>
#         -DLINKS=<...> -DALLOWED=<...> -P layers.cmake
# (lists separated by "|"; SOURCES relative to SOURCE_BASE, FOLDERS to SOURCE_DIR). It fails,
# naming each fault, when
#   - a source of the library's folders includes a header of a folder above it,
#   - or a header of a forbidden Qt module, in any spelling (<QWidget>, <QtWidgets/QWidget>,
#     <QtWidgets>),
#   - a source of the library's folders is not one of the library's sources,
#   - the library links anything but what it is allowed to.
cmake_minimum_required(VERSION 3.16)

foreach(list FOLDERS SOURCES FORBIDDEN QT_MODULE_DIRS LINKS ALLOWED)
    string(REPLACE "|" ";" ${list} "${${list}}")
endforeach()
set(faults 0)
macro(fault text)
    message("${LIBRARY}: ${text}")
    math(EXPR faults "${faults} + 1")
endmacro()

set(listed "")
foreach(source IN LISTS SOURCES)
    get_filename_component(source "${source}" ABSOLUTE BASE_DIR "${SOURCE_BASE}")
    list(APPEND listed "${source}")
endforeach()
set(found "")
foreach(folder IN LISTS FOLDERS)
    file(GLOB_RECURSE in_folder "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    list(APPEND found ${in_folder})
endforeach()

foreach(source IN LISTS found)
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    if(NOT source IN_LIST listed)
        fault("${shown} is not one of its sources")
    endif()
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1"
               header "${line}")
        foreach(folder IN LISTS FORBIDDEN)
            if(header MATCHES "^${folder}/")
                fault("${shown} includes ${header}, a header of ${folder}/")
            endif()
        endforeach()
        foreach(dir IN LISTS QT_MODULE_DIRS)
            get_filename_component(module "${dir}" NAME)
            get_filename_component(parent "${dir}" DIRECTORY)
            if(header STREQUAL module OR EXISTS "${dir}/${header}"
               OR (header MATCHES "^${module}/" AND EXISTS "${parent}/${header}"))
                fault("${shown} includes ${header}, a header of ${module}")
            endif()
        endforeach()
    endforeach()
endforeach()

foreach(link IN LISTS LINKS)
    if(NOT link STREQUAL "" AND NOT link IN_LIST ALLOWED)
        fault("links ${link}; it may link only ${ALLOWED}")
    endif()
endforeach()

list(LENGTH found count)
if(faults GREATER 0)
    message(FATAL_ERROR "${LIBRARY}: ${faults} faults in ${count} sources")
endif()
message("${LIBRARY}: ${count} sources, each in the library and within its layer")
