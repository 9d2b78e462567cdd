# Shared compile settings for every target of the project.
add_library(morvik_options INTERFACE)
target_compile_options(morvik_options INTERFACE -Wall -Wextra -Wpedantic)
# Warnings stop the build only where asked for (./run test, CI): a newer or different compiler than
# ours may warn about something new, and that must not break a user's build.
if(MORVIK_WERROR)
    target_compile_options(morvik_options INTERFACE -Werror)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(morvik_options INTERFACE -Wno-gnu-zero-variadic-macro-arguments)
endif()
if(MORVIK_SANITIZE)
    target_compile_options(morvik_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_link_options(morvik_options INTERFACE -fsanitize=address,undefined)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        # clang 14 cannot emit the function-type check inside coroutine frames.
        target_compile_options(morvik_options INTERFACE -fno-sanitize=function)
    endif()
endif()
if(MORVIK_TSAN)
    target_compile_options(morvik_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(morvik_options INTERFACE -fsanitize=thread)
endif()

# morvik_library(NAME SOURCES...) declares one subsystem library with the shared settings. They are
# shared libraries so that the composer's windows can live in a library the helper loads only when it
# first shows one, while every part still sees one copy of the process-wide state.
function(morvik_library name)
    add_library(${name} SHARED ${ARGN})
    target_link_libraries(${name} PUBLIC morvik_options)
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# morvik_test(NAME SOURCES... LIBS ...) declares one GoogleTest executable registered with ctest.
function(morvik_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE morvik_options GTest::gtest ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
