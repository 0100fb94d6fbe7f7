# Warnings, sanitizers and the two builds of every target.
#
# Every library and program exists twice: the wide build (suffix _wide, UTF-16 text inside, the
# program moxa) and the narrow build (suffix _narrow, 8-bit text throughout, the program moxaw). The
# only difference between them is the definition QVD_NARROW_BUILD, which platform/build.h turns
# into the text type and the few switches where the builds really differ.

set(QVD_BUILDS wide narrow)

# Warnings are errors in the presets (QVD_WERROR), never in a plain build: a distribution's newer
# compiler may warn about what this one does not, and must still build the programs.
function(projectOptions target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(QVD_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

if(QVD_SANITIZE OR QVD_FUZZ)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
    # The one mark code may test for the sanitizers, whichever compiler sets its own.
    add_compile_definitions(QVD_SANITIZED=1)
endif()

# The fuzz targets (clang only) need libFuzzer's coverage hooks in every library; only the fuzz
# targets in tests/fuzz link the fuzzer's own main. The asan preset builds them beside the tests,
# so that one sanitized build of the libraries serves both.
if(QVD_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Applies the build flavour ("wide" or "narrow") to a target.
function(qvdFlavour target flavour)
    if(flavour STREQUAL "narrow")
        target_compile_definitions(${target} PUBLIC QVD_NARROW_BUILD=1)
    endif()
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    projectOptions(${target})
endfunction()

# qvdLibrary(NAME engine SOURCES a.cpp b.cpp DEPS platform settings [EXTERNAL PkgConfig::X])
# makes engine_wide and engine_narrow, each linked to the same flavour of its DEPS.
function(qvdLibrary)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;DEPS;EXTERNAL" ${ARGN})
    foreach(flavour IN LISTS QVD_BUILDS)
        set(target ${ARG_NAME}_${flavour})
        add_library(${target} STATIC ${ARG_SOURCES})
        qvdFlavour(${target} ${flavour})
        foreach(dep IN LISTS ARG_DEPS)
            target_link_libraries(${target} PUBLIC ${dep}_${flavour})
        endforeach()
        if(ARG_EXTERNAL)
            target_link_libraries(${target} PUBLIC ${ARG_EXTERNAL})
        endif()
    endforeach()
endfunction()

# qvdProgram(WIDE moxa NARROW moxaw SOURCES main.cpp DEPS app)
# makes one program per build; either name may be left out to build only one flavour.
function(qvdProgram)
    cmake_parse_arguments(ARG "" "WIDE;NARROW" "SOURCES;DEPS;EXTERNAL" ${ARGN})
    foreach(flavour IN LISTS QVD_BUILDS)
        if(flavour STREQUAL "wide")
            set(target ${ARG_WIDE})
        else()
            set(target ${ARG_NARROW})
        endif()
        if(NOT target)
            continue()
        endif()
        add_executable(${target} ${ARG_SOURCES})
        qvdFlavour(${target} ${flavour})
        foreach(dep IN LISTS ARG_DEPS)
            target_link_libraries(${target} PRIVATE ${dep}_${flavour})
        endforeach()
        if(ARG_EXTERNAL)
            target_link_libraries(${target} PRIVATE ${ARG_EXTERNAL})
        endif()
    endforeach()
endfunction()

# The sanitized build optimises a little (the code under test runs several times faster under the
# sanitizers); the test code itself runs briefly and compiles twice as fast unoptimised. The
# precompiled test headers take the same options as the test programs that reuse them.
function(testCodeOptions target)
    if(QVD_SANITIZE)
        target_compile_options(${target} PRIVATE -O0)
    endif()
endfunction()

# Every test source reads the GoogleTest headers, most of its compile time: under clang they are
# read once, into the precompiled headers of testHeaders, which every test program reuses. The
# test programs' own definitions (the build, the program path) come after them and do not spoil
# them, so testHeaders has none. (gcc's precompiled headers are large enough to fill a disk.)
function(qvdTestHeaders)
    if(TARGET testHeaders)
        return()
    endif()
    add_library(testHeaders OBJECT ${PROJECT_SOURCE_DIR}/tests/support/testHeaders.cpp)
    projectOptions(testHeaders)
    testCodeOptions(testHeaders)
    target_link_libraries(testHeaders PRIVATE GTest::gtest GTest::gmock)
    target_precompile_headers(testHeaders PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
endfunction()

# qvdTest(NAME engine SOURCES t1.cpp t2.cpp DEPS engine)
# makes the test programs engineTests_wide and engineTests_narrow and registers every GoogleTest
# suite of both with CTest, so each suite runs once per build ("engineTests_wide.Suite"), its
# cases in one process: a sanitized process takes a tenth of a second to start and end.
# PROGRAMS wide narrow: end-to-end tests, which start the program of their own build; its path is
# QVD_PROGRAM_PATH, and it is built before them.
function(qvdTest)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;DEPS;EXTERNAL;PROGRAMS" ${ARGN})
    foreach(flavour IN LISTS QVD_BUILDS)
        set(target ${ARG_NAME}Tests_${flavour})
        add_executable(${target} ${ARG_SOURCES})
        qvdFlavour(${target} ${flavour})
        target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
        testCodeOptions(${target})
        if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
            qvdTestHeaders()
            target_precompile_headers(${target} REUSE_FROM testHeaders)
        endif()
        foreach(dep IN LISTS ARG_DEPS)
            target_link_libraries(${target} PRIVATE ${dep}_${flavour})
        endforeach()
        target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock ${ARG_EXTERNAL})
        if(ARG_PROGRAMS)
            list(FIND QVD_BUILDS ${flavour} index)
            list(GET ARG_PROGRAMS ${index} program)
            target_compile_definitions(${target} PRIVATE
                QVD_PROGRAM_PATH="$<TARGET_FILE:${program}>")
            add_dependencies(${target} ${program})
        endif()
        # The programs look for the user's colour file under HOME: tests get a home of their own
        # in the build tree, never the real one; nor do the user's defaults (QVD_OPTIONS) count.
        # The suites are listed by the program itself once it is built.
        set(suites ${CMAKE_CURRENT_BINARY_DIR}/${target}Suites.cmake)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -D program=$<TARGET_FILE:${target}> -D prefix=${target}
                    -D home=${CMAKE_BINARY_DIR}/testHome -D directory=${CMAKE_CURRENT_BINARY_DIR}
                    -D output=${suites} -P ${PROJECT_SOURCE_DIR}/cmake/listTestSuites.cmake
            BYPRODUCTS ${suites} VERBATIM)
        set(include ${CMAKE_CURRENT_BINARY_DIR}/${target}Include.cmake)
        file(WRITE ${include} "if(EXISTS [[${suites}]])\n  include([[${suites}]])\nelse()\n"
                              "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\nendif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include})
    endforeach()
endfunction()
