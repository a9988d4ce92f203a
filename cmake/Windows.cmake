enable_language(RC)
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
# Everything runs on a bare Windows: the C and C++ runtimes are linked in.
add_link_options(-static -static-libgcc -static-libstdc++)
if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE Release)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(LULLCAST_BITS 64)
else()
    set(LULLCAST_BITS 32)
endif()

# The version of the release, for the resource scripts (res/Version.rc).
configure_file(${CMAKE_SOURCE_DIR}/res/Version.h.in ${CMAKE_BINARY_DIR}/generated/Version.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)
