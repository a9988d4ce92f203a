// What the fuzz targets use to hold the code to its promises: a broken one says which and
// stops the run, so that the fuzzer keeps the input.
#pragma once
#include <cstdio>
#include <cstdlib>

inline void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}
