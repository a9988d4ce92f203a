enable_language(RC)
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
# Everything runs on a bare Windows: the C and C++ runtimes are linked in.
add_link_options(-static -static-libgcc -static-libstdc++)
# The same source gives the same bytes wherever and whenever it is built: no folder of the build
# machine in the binaries, and no link time in their headers (the time stamp is left zero).
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
                    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=.>)
add_link_options(-Wl,--no-insert-timestamp)
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
