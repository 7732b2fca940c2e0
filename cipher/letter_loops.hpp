// The byte-at-a-time loops of the letter kernels: the scalar paths, and the tails and fallbacks
// of the vector ones. Inline, so that each vector kernel keeps them in its own code.
#pragma once

#include "cipher/letter_kernels.hpp"

#include <cstddef>
#include <cstdint>

// Moves the letters of bytes[from, size) to bytes[kept, ...); returns the new kept.
// Branch-free: every byte is stored, but the write position only moves past letters.
// Writing never overtakes reading (kept <= i), so this works in place.
inline std::size_t keep_letters_from(std::uint8_t* bytes, std::size_t from, std::size_t size,
                                     std::size_t kept) {
    for (std::size_t i = from; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        bytes[kept] = b;
        kept += is_letter_byte(b) ? 1U : 0U;
    }
    return kept;
}

// Takes UTF-8 letters from bytes[from, size) while there is room, a byte at a time; kept letters
// are already stored. Branch-free but for the loop, as keep_letters_from.
inline utf8_progress take_utf8_letters_from(const std::uint8_t* bytes, std::size_t from,
                                            std::size_t size, std::uint8_t previous,
                                            std::uint8_t* letters, std::size_t kept,
                                            std::size_t room) {
    std::size_t i = from;
    for (; i < size && kept < room; ++i) {
        const std::uint8_t b = bytes[i];
        const bool letter = (previous == 0xD0 && b >= 0x90 && b <= 0xBF) ||
                            (previous == 0xD1 && b >= 0x80 && b <= 0x8F);
        letters[kept] = static_cast<std::uint8_t>(b + (previous == 0xD0 ? 0x30U : 0x70U));
        kept += letter ? 1U : 0U;
        previous = b;
    }
    return {kept, i};
}

// Checks bytes[from, size) a byte at a time. Out of line: the vector checks only fall back
// to it, and their loops stay tight without it.
void check_utf8_from(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                     utf8_check& check);

// Text in UTF-8 at out, as encode_utf8; returns the size.
inline std::size_t encode_utf8_bytes(const std::uint8_t* text, std::size_t size,
                                     std::uint8_t* out) {
    std::uint8_t* const begin = out;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = text[i];
        if (is_letter_byte(b)) { // А..п are U+0410..U+043F, р..я U+0440..U+044F
            *out++ = b >= 0xF0 ? 0xD1 : 0xD0;
            *out++ = static_cast<std::uint8_t>(b - (b >= 0xF0 ? 0x70U : 0x30U));
        } else {
            *out++ = b;
        }
    }
    return static_cast<std::size_t>(out - begin);
}
