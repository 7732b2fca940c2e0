#pragma once

#include "cipher/simd.hpp"

#include <initializer_list>

// Runs check once for every vector level this processor has, then leaves the best in use.
template <typename Check> void for_each_simd_level(Check check) {
    for (const auto level : {simd_level::scalar, simd_level::ssse3, simd_level::avx2}) {
        limit_simd(level);
        if (simd_in_use() == level)
            check(level);
    }
    limit_simd(simd_level::avx2);
}
