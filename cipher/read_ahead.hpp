// Deciphering the letters of one read, and reading ahead on a thread of its own while the
// calling thread writes: the kernel's copies and the work overlap, and memory stays flat.
#pragma once

#include "cipher/letter_reader.hpp"
#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

// How the letters of one read become plaintext.
struct block_work {
    const std::int32_t* order;
    int n;
    std::size_t block_size;
    std::size_t capacity; // letters a read asks for: whole blocks
    std::array<std::uint8_t, max_block_size> table;
};

// Deciphers the got letters of one read in place; a read that came up short was the last, and
// its short block is deciphered too.
void decipher_read(const block_work& work, std::uint8_t* letters, std::size_t got);

// Whether decipher_stream reads ahead: when extras allow it, on more than one usable core (on
// one the thread would only take turns with the caller's), and where a failed write can wake a
// reader that waits for text. On Windows nothing we can rely on does, so text from a pipe or a
// console is read on the writing thread, and a failed write ends the run at once, not when the
// text's writer closes.
bool reads_run_ahead(const stream_extras& extras);

// The block loop with the reader thread; empty when there was no thread or memory for it.
// buffer's first held letters were taken from in already.
std::optional<stream_fault> decipher_read_ahead(letter_reader& in, std::FILE* out,
                                                const block_work& work, std::uint8_t* buffer,
                                                std::size_t held, const stream_extras& extras);
