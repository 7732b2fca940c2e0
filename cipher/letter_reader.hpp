// The ciphertext or plaintext read as a stream of letters.
#pragma once

#include "cipher/code_pages.hpp"
#include "cipher/io_buffer.hpp"
#include "cipher/letter_kernels.hpp"
#include "cipher/text_encoding.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Letters in a full block of side n.
constexpr std::size_t block_letters(int n) {
    return static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
}

// A stream read as letters, in the encoding it turns out to have. The encoding is decided once,
// from the start of the stream, as text editors do (see text_encoding.hpp). Bytes read while
// deciding are kept here and served before the stream.
struct letter_reader {
    std::FILE* stream = nullptr;
    bool decided = false; // the encoding is known
    text_encoding encoding = text_encoding::windows_1251;
    bool byte_order_mark = false; // the stream opened with the mark of `encoding`
    // The best scored single-byte reading (judge_by_counts), which may differ from a
    // Windows-1251 `encoding` when the counts are too few to be sure.
    text_encoding likeliest = text_encoding::windows_1251;
    bool encoding_given = false;       // by read_as, not judged
    const byte_table* table = nullptr; // CP866, KOI8-R: each byte's Windows-1251 letter
    bool mark_looked_for = false;
    bool ended = false; // a read came up short: the stream's end, or a read error
    // Bytes fetched per read of UTF-8 text, and the size of `ahead`; the decision judges the
    // first chunk_size / 4 bytes at or above 0x80.
    std::size_t chunk_size = io_chunk_size;
    io_buffer ahead; // ahead[ahead_at, ahead_size): read, not yet served
    std::size_t ahead_at = 0;
    std::size_t ahead_size = 0;
    // UTF-8: the byte before ahead[ahead_at], whose letter a read may have cut.
    std::uint8_t previous = 0;
    // UTF-8: the bytes served so far, checked; its malformed bytes were skipped.
    utf8_check served;
    // Ё and ё read as Е and е, as Russian is often written (encipher): how many so far.
    bool yo_as_ye = false;
    std::size_t yo_changed = 0;
    std::size_t yo_looked_to = 0; // UTF-8: ahead[0, yo_looked_to) is changed already
};

// A reader of stream, nothing read yet. chunk_size (at least 8) is smaller only in tests, to
// reach every boundary with short texts.
letter_reader make_letter_reader(std::FILE* stream, std::size_t chunk_size = io_chunk_size);

// Reads the first bytes of the stream, kept for the letters, to look for a byte-order mark (see
// find_byte_order_mark): 3 bytes, or up to mark_window after FF FE or FE FF. True when one was
// found. With no mark, a first unit that may be UTF-16's has up to 2 * utf16_units_judged bytes
// read, and UTF-16 without a mark (is_unmarked_utf16) is decided here too. Blocks only for
// those bytes; later calls read nothing and give the same answer.
bool read_byte_order_mark(letter_reader& reader);

// Decides the encoding if it is not decided yet, after the mark, by judge_text with
// chunk_size / 4 bytes judged (bytes_judged by default). ASCII is read past, as neither
// encoding has letters in it; what is judged is read ahead with the ASCII between the bytes
// above 0x7F squeezed, so memory stays flat. On a read error it decides on what it got.
text_encoding decide_encoding(letter_reader& reader);

// The encoding the user names, in place of any judgment: called after read_byte_order_mark and
// before any letter is read. A UTF-8 mark is skipped only when encoding is UTF-8.
void read_as(letter_reader& reader, text_encoding encoding);

// Stores the next `wanted` letters at letters, as Windows-1251 bytes 0xC0..0xFF, and returns how
// many it stored: fewer only at the end of the stream or on a read error (reader_failed tells).
// CP866 and KOI8-R letters go through the reader's table. The letters of UTF-8 are
// U+0410..U+044F; any other character, Ё and ё included, and any
// malformed byte are skipped. A UTF-16 stream gives none. Never serves a letter it does not
// store: the next call goes on right behind the last one.
std::size_t read_letters(letter_reader& reader, std::uint8_t* letters, std::size_t wanted);

// Whether a read of the stream failed.
bool reader_failed(const letter_reader& reader);

// The bytes of UTF-8 text read so far that were skipped as malformed, a character cut by the
// end of the stream included once the end is reached. 0 for Windows-1251.
std::size_t skipped_bytes(const letter_reader& reader);
