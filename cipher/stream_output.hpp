// The output side of the stream loops: text written in the encoding asked for, the input's
// UTF-8 mark with the first letters, a terminal's line break at the end, and what a summary
// keeps of the plaintext.
#pragma once

#include "cipher/io_buffer.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/text_stream.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What the loops need to write in the output's encoding: scratch for an encoded one, none for
// Windows-1251, which goes out as it is. The mark goes out with the first letters, so that a
// text with none leaves the output untouched.
struct stream_output {
    text_encoding encoding;
    bool mark_due; // the input's UTF-8 mark, for UTF-8 out
    io_buffer scratch;
    std::size_t scratch_size;
    bool (*write)(std::FILE*, const std::uint8_t*, std::size_t);
    bool end_line;     // a terminal's text ends with a line break
    std::uint8_t last; // the last byte written, 0 before the first
};

stream_output make_stream_output(const letter_reader& reader, const stream_extras& extras);

// Writes text[0, size) as Windows-1251 letters and ASCII; false and errno on failure.
bool write_output(std::FILE* out, stream_output& output, const std::uint8_t* text,
                  std::size_t size);

// Plaintext goes out through the caller's filter, when there is one; last with the final piece.
bool write_plain(std::FILE* out, stream_output& output, const stream_extras& extras,
                 const std::uint8_t* letters, std::size_t size, bool last);

// The line break a terminal's text ends with, when it has any text.
bool end_text(std::FILE* out, stream_output& output);

// Keeps the first plaintext letters and the count, for what the tool says after the run.
void note_plaintext(stream_summary* summary, const std::uint8_t* letters, std::size_t size);
