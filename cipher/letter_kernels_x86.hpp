// The x86 vector paths of the letter kernels, each the same as its scalar reference in
// cipher/letter_kernels.hpp; callable only where simd_in_use() offers its level.
#pragma once

#include "cipher/letter_kernels.hpp"
#include "cipher/simd.hpp"

#include <cstddef>
#include <cstdint>

#if DECIPHER_X86

std::size_t keep_letters_ssse3(std::uint8_t* bytes, std::size_t size);
std::size_t keep_letters_avx2(std::uint8_t* bytes, std::size_t size);

utf8_progress take_utf8_letters_ssse3(const std::uint8_t* bytes, std::size_t size,
                                      std::uint8_t previous, std::uint8_t* letters,
                                      std::size_t room);
utf8_progress take_utf8_letters_avx2(const std::uint8_t* bytes, std::size_t size,
                                     std::uint8_t previous, std::uint8_t* letters,
                                     std::size_t room);

std::size_t encode_utf8_ssse3(const std::uint8_t* text, std::size_t size, std::uint8_t* out);
std::size_t encode_utf8_avx2(const std::uint8_t* text, std::size_t size, std::uint8_t* out);

void check_utf8_ssse3(const std::uint8_t* bytes, std::size_t size, utf8_check& check);
void check_utf8_avx2(const std::uint8_t* bytes, std::size_t size, utf8_check& check);

// A byte value as _mm_set1_epi8 takes it.
constexpr char byte_value(unsigned b) {
    return static_cast<char>(static_cast<signed char>(b));
}

#endif
