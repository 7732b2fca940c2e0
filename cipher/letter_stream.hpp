// The alphabet and the ciphertext read as a stream of letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Bytes fetched per read. 256 KiB measured best among 64 KiB..4 MiB (bench/README.md);
// smaller chunks pay more calls, larger ones fall out of the L2 cache.
inline constexpr std::size_t io_chunk_size = 256 * 1024;

// Windows-1251 А..Я and а..я: 0xC0..0xFF, i.e. -64..-1 as a signed byte.
constexpr bool is_letter_byte(std::uint8_t b) {
    return b >= 0xC0;
}

constexpr bool is_alphabet_letter(char c) {
    const auto s = static_cast<signed char>(c);
    return s >= -64 && s <= -1;
}

// Moves the letters of bytes[0, size) to its front, in order; returns how many there are.
std::size_t keep_letters(std::uint8_t *bytes, std::size_t size);

// Letters from the stream's position to its end, or -1 (after printing "No file :(") when the
// stream is absent. Stops early on a read error; the caller tells that apart with ferror.
std::int64_t count_letters(std::FILE *stream, std::size_t chunk_size = io_chunk_size);

// Stores the next blocks * n * n letters of the stream at the start of block and returns how
// many it stored: fewer only at the end of the stream or on a read error. Never reads past the
// last letter it stores, so the stream is left right behind it.
std::size_t read_block(std::FILE *stream, std::uint8_t *block, int n, std::size_t blocks = 1);
