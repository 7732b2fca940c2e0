// The alphabet, and the loops over bytes that find, take and write its letters: each a scalar
// reference and, on x86, SSSE3 and AVX2 paths that must give the same.
#pragma once

#include "cipher/alphabet.hpp"

#include <cstddef>
#include <cstdint>

// Moves the letters of bytes[0, size) to its front, in order; returns how many there are.
// The bytes after them are left with no meaning.
std::size_t keep_letters(std::uint8_t* bytes, std::size_t size);
// The same, a byte at a time: the reference the vector paths are checked against.
std::size_t keep_letters_scalar(std::uint8_t* bytes, std::size_t size);

// What one step of take_utf8_letters took.
struct utf8_progress {
    std::size_t letters; // stored
    std::size_t bytes;   // consumed
};

// The Cyrillic letters among UTF-8 bytes[0, size), as Windows-1251 letters, stored at letters:
// at most room of them, stopping right behind the byte that ends the room-th. previous is the
// byte before bytes[0] (0 at the start of the text). A letter is D0 90..BF or D1 80..8F, and
// since neither lead byte is ever a continuation byte, that pair alone decides it, malformed
// neighbours or not.
utf8_progress take_utf8_letters(const std::uint8_t* bytes, std::size_t size, std::uint8_t previous,
                                std::uint8_t* letters, std::size_t room);
// The same, a byte at a time: the reference the vector paths are checked against.
utf8_progress take_utf8_letters_scalar(const std::uint8_t* bytes, std::size_t size,
                                       std::uint8_t previous, std::uint8_t* letters,
                                       std::size_t room);

// Text as the stream loops make it (Windows-1251 letters, ASCII) in UTF-8 at out, which holds
// 2 * size bytes: each letter as its two bytes, every other byte as it is. Returns the size.
std::size_t encode_utf8(const std::uint8_t* text, std::size_t size, std::uint8_t* out);
std::size_t encode_utf8_scalar(const std::uint8_t* text, std::size_t size, std::uint8_t* out);

// A UTF-8 text checked piece by piece. Strict UTF-8: no overlong forms, no surrogates, nothing
// above U+10FFFF. A byte that cannot go on the character begun ends it, and the bytes of that
// unfinished character are malformed; the byte is then taken afresh, as editors do when they
// show one replacement character for each such piece.
struct utf8_check {
    std::uint8_t lead = 0;     // the first byte of the character not finished yet, else 0
    std::uint8_t held = 0;     // its bytes so far, 0 when none is open
    std::uint8_t need = 0;     // the continuation bytes it still needs
    std::size_t malformed = 0; // bytes in no well-formed character
};

// Goes on checking with bytes[0, size).
void check_utf8(const std::uint8_t* bytes, std::size_t size, utf8_check& check);
void check_utf8_scalar(const std::uint8_t* bytes, std::size_t size, utf8_check& check);
