# Helpers shared by every target of the project.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

# Warnings and sanitizers for one of our own targets.
function(quillmark_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
        if(QUILLMARK_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
        if(QUILLMARK_SANITIZE)
            target_compile_options(${target} PRIVATE
                -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
            target_link_options(${target} PRIVATE -fsanitize=address,undefined)
        endif()
        if(QUILLMARK_FUZZ)
            # Coverage for libFuzzer in every library; fuzz targets link the fuzzer itself.
            target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
        endif()
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8)
        if(QUILLMARK_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    endif()
endfunction()

# quillmark_add_library(name SOURCES ... LIBS ...)
function(quillmark_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    quillmark_target_defaults(${name})
    if(QUILLMARK_SANITIZE AND CMAKE_BUILD_TYPE STREQUAL "Debug")
        # The sanitized suite checks the libraries optimised as they ship,
        # and runs several times faster for it (the tests' large files spend
        # their time there); the tests themselves stay unoptimised, which
        # keeps the build short.
        target_compile_options(${name} PRIVATE -O2)
    endif()
endfunction()

# quillmark_add_test(folder SOURCES ... LIBS ... [ENVIRONMENT ...])
# One GoogleTest executable per source folder, its cases discovered by CTest.
function(quillmark_add_test folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    set(target quillmark_${folder}_tests)
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} quillmark_testsupport GTest::gmock GTest::gtest_main)
    quillmark_target_defaults(${target})
    if(CMAKE_CROSSCOMPILING)
        # Under an emulator (Wine) each test program runs whole, once: one
        # start instead of one per case. The locale comes from the caller,
        # which picks the ANSI code page Wine gives the programs.
        add_test(NAME ${folder} COMMAND ${target} --gtest_brief=1)
        set_tests_properties(${folder} PROPERTIES TIMEOUT 600)
        return()
    endif()
    # The discovered tests' script takes a list apart: a second variable
    # would become a property of its own. Set others in the test program.
    list(LENGTH ARG_ENVIRONMENT variables)
    if(variables GREATER 1)
        message(FATAL_ERROR "quillmark_add_test(${folder}): one ENVIRONMENT variable at most")
    endif()
    gtest_discover_tests(${target}
        TEST_PREFIX "${folder}."
        NO_PRETTY_VALUES
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
