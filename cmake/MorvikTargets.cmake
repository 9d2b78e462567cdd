include(GenerateExportHeader)

# Shared compile settings for every target of the project. Build-only: our libraries link them
# privately, so warnings, -Werror and sanitizers never reach an embedding application's targets; our
# executables, tests, tools and benchmarks link them themselves (a sanitizer build needs the runtime in
# each of them).
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
#
# Symbols are hidden unless marked: each library gets NAME_export.h with the macro NAME_EXPORT (upper
# case) for the classes and functions that other libraries, tests, tools and embedders use, so the
# dynamic symbol tables hold only our interface and the loader has less to resolve at start-up.
function(morvik_library name)
    add_library(${name} SHARED ${ARGN})
    target_link_libraries(${name} PRIVATE morvik_options)
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    generate_export_header(${name} EXPORT_FILE_NAME ${CMAKE_CURRENT_BINARY_DIR}/${name}_export.h)
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}> $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}>)
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
