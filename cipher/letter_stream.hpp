// The alphabet and the ciphertext read as a stream of letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#ifdef _WIN32
#include <malloc.h>
#endif

// Bytes fetched per read: the smallest size at full speed in the block-loop benchmark
// (bench/README.md). Smaller chunks pay for more calls; larger ones gain nothing.
inline constexpr std::size_t io_chunk_size = std::size_t{256} * 1024;

// The one place that differs by platform in the core: the C runtime of Windows has no
// aligned_alloc, and what _aligned_malloc gives must go back to _aligned_free.
#ifdef _WIN32
inline void* allocate_aligned(std::size_t alignment, std::size_t size) {
    return _aligned_malloc(size, alignment);
}
inline constexpr auto free_bytes = [](std::uint8_t* bytes) { _aligned_free(bytes); };
#else
inline void* allocate_aligned(std::size_t alignment, std::size_t size) {
    return std::aligned_alloc(alignment, size);
}
inline constexpr auto free_bytes = [](std::uint8_t* bytes) { std::free(bytes); };
#endif
using io_buffer = std::unique_ptr<std::uint8_t[], decltype(free_bytes)>;

// Page-aligned, because the kernel copies into such a buffer markedly faster.
inline io_buffer make_io_buffer(std::size_t size) {
    constexpr std::size_t page = 4096;
    void* bytes = allocate_aligned(page, (size + page - 1) / page * page);
    if (bytes == nullptr)
        throw std::bad_alloc();
    return io_buffer(static_cast<std::uint8_t*>(bytes));
}

// Letters in a full block of side n.
constexpr std::size_t block_letters(int n) {
    return static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
}

// Windows-1251 А..Я and а..я: 0xC0..0xFF, i.e. -64..-1 as a signed byte.
constexpr bool is_letter_byte(std::uint8_t b) {
    return b >= 0xC0;
}

constexpr bool is_alphabet_letter(char c) {
    const auto s = static_cast<signed char>(c);
    return s >= -64 && s <= -1;
}

// Moves the letters of bytes[0, size) to its front, in order; returns how many there are.
// The bytes after them are left with no meaning.
std::size_t keep_letters(std::uint8_t* bytes, std::size_t size);
// The same, a byte at a time: the reference the vector paths are checked against.
std::size_t keep_letters_scalar(std::uint8_t* bytes, std::size_t size);

// Stores the next `wanted` letters of the stream at letters and returns how many it stored:
// fewer only at the end of the stream or on a read error, which the caller tells apart with
// ferror. Never consumes a letter it does not store, so the stream is left right behind the
// last one.
std::size_t read_letters(std::FILE* stream, std::uint8_t* letters, std::size_t wanted);

// read_letters for the next blocks * n * n letters.
std::size_t read_block(std::FILE* stream, std::uint8_t* block, int n, std::size_t blocks = 1);
