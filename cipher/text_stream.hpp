// The block loops: a stream of letters in, the text out in the input's encoding.
#pragma once

#include "cipher/letter_reader.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

// Ciphertext as it is written out: groups of five letters parted by a blank, ten groups a line.
inline constexpr std::size_t group_letters = 5;
inline constexpr std::size_t line_letters = 10 * group_letters;

// Lays letters[0, size) out in groups into out, which has room for size + size / 5 + 1
// bytes; laid counts the letters laid out before, on the same line count, and is advanced.
// A line break comes before a line's first letter; the caller ends the last line. Returns the
// bytes written.
std::size_t lay_out_groups(const std::uint8_t* letters, std::size_t size, std::uint64_t& laid,
                           std::uint8_t* out);

// Where a block loop stopped short, and why: error is the failing call's errno.
enum class stream_failure { none, read, write };
struct stream_fault {
    stream_failure failure = stream_failure::none;
    int error = 0;
};

// The block loop, in one pass: deciphers the letters of in, from its position to its end, into
// out, written in in's encoding (its UTF-8 mark before the first letter, if it had one; nothing
// before that). buffer holds at least one block, and its whole blocks are one read; its first
// `held` bytes may already hold letters taken from in, at most as many as those whole blocks.
// On more than one usable core, reads run ahead on a thread of their own (on Windows only from a
// file), into two buffers of that size, of four times it when in is a file, whose reads never
// wait; a failed write ends the run without waiting for in's next text. out is only written
// (and encoded) on the calling thread, and a failed read stops it where the one-thread loop
// would.
//
// What a caller may ask of the loops beyond the text: output names the encoding written (the
// input's when empty; the input's UTF-8 mark is kept only for UTF-8 out), and summary, when
// given, gets how many letters the text had and the first of its plaintext.
// filter, when given, is handed decipher's plaintext a piece at a time, in order, last true
// with the final piece (after a failed read too), and returns the Windows-1251 text written in
// its place, which stays its own.
// A summary keeps as much of the plaintext's start as the tools judge a text by.
inline constexpr std::size_t summary_start_letters = 1000;
struct stream_summary {
    std::uint64_t letters = 0;
    std::array<std::uint8_t, summary_start_letters> start{};
    std::size_t start_size = 0;
};
struct plaintext_filter {
    void* state = nullptr;
    const std::vector<std::uint8_t>& (*pass)(void* state, const std::uint8_t* letters,
                                             std::size_t size, bool last) = nullptr;
};
struct stream_extras {
    std::optional<text_encoding> output;
    plaintext_filter filter;
    stream_summary* summary = nullptr;
    bool reads_wait = true; // in may wait for its text (a pipe, a terminal): no reading ahead far
    // decipher_stream may read on a thread of its own; off, it runs the one-thread loop it
    // runs on a single core.
    bool reader_thread = true;
    // out is a terminal: no mark, and a text with letters ends with a line break. write, when
    // given, takes the Windows-1251 text in place of the encoder (a console that takes
    // characters); false and errno on failure.
    bool terminal = false;
    bool (*write)(std::FILE* out, const std::uint8_t* text, std::size_t size) = nullptr;
};
stream_fault decipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size, std::size_t held = 0,
                             const stream_extras& extras = {});

// The same the other way: enciphers the letters of in, from its position to its end, into out
// as groups, every line ended, in in's encoding (nothing for a text with no letters). buffer holds
// at least one block; its whole blocks are one read. letters_read, if given, gets the number of
// letters enciphered.
stream_fault encipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size,
                             std::uint64_t* letters_read = nullptr,
                             const stream_extras& extras = {});
