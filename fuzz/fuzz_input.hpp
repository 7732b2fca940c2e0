// Helpers shared by the fuzz targets.
#pragma once

#include "tests/test_text.hpp"

#include <cstdio>
#include <cstdlib>

// Stops the run so that libFuzzer keeps the input, when a property does not hold.
inline void require(bool holds) {
    if (!holds)
        std::abort();
}

// A read-only stream over content; an empty one reads /dev/null, as fmemopen wants bytes.
inline std::FILE* stream_over(bytes& content) {
    return content.empty() ? std::fopen("/dev/null", "r")
                           : fmemopen(content.data(), content.size(), "r");
}
