// The alphabet the tools work in: the 64 Russian letters of Windows-1251, А..Я and а..я, and the
// few bytes around them that the tools treat specially.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Windows-1251 А..Я and а..я: 0xC0..0xFF, i.e. -64..-1 as a signed byte.
inline constexpr std::uint8_t first_letter = 0xC0;
inline constexpr std::size_t alphabet_letters = 64;

constexpr bool is_letter_byte(std::uint8_t b) {
    return b >= first_letter;
}

// Uppercase 0xC0..0xDF gain it; lowercase letters already have it and stay letters.
inline constexpr std::uint8_t case_bit = 0x20;

constexpr std::uint8_t lowercase_letter(std::uint8_t letter) {
    return static_cast<std::uint8_t>(letter | case_bit);
}

// Ё and ё stand outside the 64; encipher takes them as Е and е.
inline constexpr std::uint8_t upper_yo = 0xA8;
inline constexpr std::uint8_t lower_yo = 0xB8;
inline constexpr std::uint8_t upper_ye = 0xC5;
inline constexpr std::uint8_t lower_ye = 0xE5;

// The mark a UTF-8 text may open with, kept in the output of a text that had it.
inline constexpr std::array<std::uint8_t, 3> utf8_mark = {0xEF, 0xBB, 0xBF};
