#include "cipher/simd.hpp"

#include <algorithm>

namespace {

simd_level detect() {
#if DECIPHER_X86
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("ssse3") || !__builtin_cpu_supports("popcnt"))
        return simd_level::scalar;
    return __builtin_cpu_supports("avx2") ? simd_level::avx2 : simd_level::ssse3;
#else
    return simd_level::scalar;
#endif
}

simd_level& level_in_use() {
    static simd_level level = detect();
    return level;
}

} // namespace

simd_level simd_in_use() {
    return level_in_use();
}

void limit_simd(simd_level level) {
    level_in_use() = std::min(detect(), level);
}
