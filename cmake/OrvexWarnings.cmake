# Compiler settings shared by every Orvex target.
add_library(orvex_options INTERFACE)
target_compile_options(orvex_options INTERFACE
    -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor -Wno-missing-field-initializers)
if(ORVEX_WERROR)
    target_compile_options(orvex_options INTERFACE -Werror)
endif()
if(ORVEX_SANITIZE)
    target_compile_options(orvex_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(orvex_options INTERFACE -fsanitize=address,undefined)
endif()

# orvex_module(NAME [QT] SOURCES ... DEPS ...)
# One static library per module folder; QT marks the modules that may use Qt Widgets.
function(orvex_module name)
    cmake_parse_arguments(M "QT" "" "SOURCES;DEPS" ${ARGN})
    add_library(orvex_${name} STATIC ${M_SOURCES})
    target_include_directories(orvex_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(orvex_${name} PUBLIC orvex_options ${M_DEPS})
    if(M_QT)
        target_link_libraries(orvex_${name} PUBLIC Qt6::Widgets)
    endif()
endfunction()
