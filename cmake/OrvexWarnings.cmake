# Compiler settings shared by every Orvex target.
add_library(orvex_options INTERFACE)
target_compile_options(orvex_options INTERFACE
    -Wall -Wextra -Wshadow -Woverloaded-virtual -Wold-style-cast -Wnon-virtual-dtor
    -Wno-missing-field-initializers)
if(ORVEX_WERROR)
    target_compile_options(orvex_options INTERFACE -Werror)
endif()
if(ORVEX_SANITIZE STREQUAL "thread")
    # Qt itself is not instrumented: scripts/tsan.supp names its internals, and the hand-offs
    # through its event queue carry annotations (platform/Threads.h).
    target_compile_options(orvex_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(orvex_options INTERFACE -fsanitize=thread)
elseif(ORVEX_SANITIZE)
    target_compile_options(orvex_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(orvex_options INTERFACE -fsanitize=address,undefined)
endif()

# Layers. A module sees its own headers and those of the modules it links, nothing else: instead of
# the source root, each module target puts a folder of its own on the include path,
# ${CMAKE_BINARY_DIR}/include/<target>, holding a link named after the module folder. So
# `#include "net/TNxHTTP.h"` keeps working in every target that links orvex_net, and fails with
# "No such file or directory" in one that does not. Modules that may not use Qt do not link it, so
# a Qt include there fails the same way. scripts/check-layers.py (the CTest layer_check) proves both
# for every target.
function(orvex_stage_headers target folder)
    set(stage ${CMAKE_BINARY_DIR}/include/${target})
    file(REMOVE_RECURSE ${stage})
    if(ARGN)
        file(MAKE_DIRECTORY ${stage}/${folder})
        foreach(header IN LISTS ARGN)
            if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${folder}/${header})
                message(FATAL_ERROR "${target} lists ${folder}/${header}, which does not exist")
            endif()
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder}/${header} ${stage}/${folder}/${header}
                 SYMBOLIC)
        endforeach()
    else()
        file(MAKE_DIRECTORY ${stage})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${stage}/${folder} SYMBOLIC)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${stage})
    else()
        target_include_directories(${target} PUBLIC ${stage})
    endif()
endfunction()

# orvex_module(NAME [QT] [HEADERS ...] SOURCES ... DEPS ...)
# One static library per module folder; QT marks the modules that may use Qt Widgets. Where one
# folder holds a plain C++ target and a Qt target above it (controls, web, tcphistory), the plain
# target lists its HEADERS and sees only those; otherwise the target sees the whole folder.
function(orvex_module name)
    cmake_parse_arguments(M "QT" "" "SOURCES;DEPS;HEADERS" ${ARGN})
    add_library(orvex_${name} STATIC ${M_SOURCES})
    cmake_path(GET CMAKE_CURRENT_SOURCE_DIR FILENAME folder)
    orvex_stage_headers(orvex_${name} ${folder} ${M_HEADERS})
    target_link_libraries(orvex_${name} PUBLIC orvex_options ${M_DEPS})
    if(M_QT)
        target_link_libraries(orvex_${name} PUBLIC Qt6::Widgets)
    endif()
endfunction()
