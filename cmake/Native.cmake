# Native build: portable code under the sanitizers, and the driver of the Windows sub-builds.
include(CTest)
find_package(GTest REQUIRED)
include(GoogleTest)

set(LULLCAST_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -g -O1 ${LULLCAST_SANITIZE})
add_link_options(${LULLCAST_SANITIZE})

option(LULLCAST_WINDOWS "Cross-build for Windows and run the Wine tests" ON)
# The Python of the tests and benchmarks finds the test harness, the reference service and the Wine
# desktop of the run command; the harness runs each Wine test module.
set(LULLCAST_TEST_PYTHONPATH ${CMAKE_SOURCE_DIR}/tests/support:${CMAKE_SOURCE_DIR}/service:${CMAKE_SOURCE_DIR}/tools)
set(LULLCAST_WINETEST ${CMAKE_SOURCE_DIR}/tests/support/winetest.py)
if(LULLCAST_WINDOWS)
    include(ExternalProject)
    foreach(arch x86_64 i686)
        ExternalProject_Add(windows-${arch}
            SOURCE_DIR ${CMAKE_SOURCE_DIR}
            BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
            CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
                       -DCMAKE_BUILD_TYPE=Release
            BUILD_ALWAYS ON
            INSTALL_COMMAND ""
            USES_TERMINAL_BUILD ON)
    endforeach()
    set(LULLCAST_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template)
    # Making the template also finds out whether this machine runs 32-bit programs; where it does
    # not, the i686 tests are skipped with the reason.
    add_test(NAME wine.template
             COMMAND python3 ${LULLCAST_WINETEST} template ${LULLCAST_WINE_TEMPLATE})
    set_tests_properties(wine.template PROPERTIES FIXTURES_SETUP wine TIMEOUT 600)
endif()

# Registers a Python test module (NAME.py in the calling folder) once per Windows build.
function(lullcast_wine_test name)
    if(NOT LULLCAST_WINDOWS)
        return()
    endif()
    foreach(arch x86_64 i686)
        add_test(NAME e2e.${arch}.${name}
                 COMMAND python3 ${LULLCAST_WINETEST} unittest ${name}
                 WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
        set_tests_properties(e2e.${arch}.${name} PROPERTIES
            FIXTURES_REQUIRED wine
            SKIP_RETURN_CODE 77
            TIMEOUT 900
            ENVIRONMENT "LULLCAST_BUILD=${CMAKE_BINARY_DIR}/windows-${arch};LULLCAST_ARCH=${arch};LULLCAST_WINE_TEMPLATE=${LULLCAST_WINE_TEMPLATE};PYTHONPATH=${LULLCAST_TEST_PYTHONPATH};PYTHONDONTWRITEBYTECODE=1")
    endforeach()
endfunction()

# A libFuzzer target (libFuzzer comes with clang) and a short bounded run of it as a test:
#   lullcast_fuzz_test(NAME test-name SECONDS n SEEDS folder... [DICT file] SOURCES source...)
function(lullcast_fuzz_test target)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        return()
    endif()
    cmake_parse_arguments(FUZZ "" "NAME;SECONDS;DICT" "SOURCES;SEEDS" ${ARGN})
    add_executable(${target} ${FUZZ_SOURCES})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${target}-corpus)
    file(MAKE_DIRECTORY ${corpus})
    set(dict)
    if(FUZZ_DICT)
        set(dict -dict=${FUZZ_DICT})
    endif()
    add_test(NAME ${FUZZ_NAME}
             COMMAND ${target} -max_total_time=${FUZZ_SECONDS} -timeout=10 -max_len=4096 ${dict}
                     -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${target}-
                     ${corpus} ${FUZZ_SEEDS})
    set_tests_properties(${FUZZ_NAME} PROPERTIES TIMEOUT 120)
endfunction()
