#include "cipher/letter_reader.hpp"

#include "cipher/alphabet.hpp"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <span>

namespace {

// Moves bytes[from, to) to bytes[stored, ...) in place, keeping every byte at or above 0x80 and
// of each run of ASCII only its first byte, none before the first byte above 0x7F: that reads
// the same as Windows-1251 (no letters in ASCII) and as UTF-8 (an ASCII byte ends a character
// as a run does). Counts the bytes above 0x7F in high; returns the new stored.
std::size_t squeeze_ascii(std::uint8_t* bytes, std::size_t from, std::size_t to, std::size_t stored,
                          std::size_t& high) {
    for (std::size_t i = from; i < to; ++i) {
        const std::uint8_t b = bytes[i];
        const bool above = b >= 0x80;
        if (above || (stored > 0 && bytes[stored - 1] >= 0x80)) {
            bytes[stored++] = b;
            high += above ? 1U : 0U;
        }
    }
    return stored;
}

// Reads into bytes[size, wanted) until it is full or the stream ends; returns the new size.
std::size_t read_up_to(letter_reader& reader, std::uint8_t* bytes, std::size_t size,
                       std::size_t wanted) {
    while (size < wanted && !reader.ended) {
        const std::size_t asked = wanted - size;
        const std::size_t got = std::fread(bytes + size, 1, asked, reader.stream);
        reader.ended = got < asked;
        size += got;
    }
    return size;
}

// Ё and ё (A8, B8) as Е and е in Windows-1251 bytes[0, size).
void yo_as_ye_1251(letter_reader& reader, std::uint8_t* bytes, std::size_t size) {
    if (!reader.yo_as_ye)
        return;
    for (std::size_t i = 0; i < size; ++i)
        if ((bytes[i] | 0x10U) == lower_yo) {
            bytes[i] = bytes[i] == upper_yo ? upper_ye : lower_ye;
            ++reader.yo_changed;
        }
}

// The same in UTF-8: D0 81 and D1 91 as D0 95 and D0 B5, for pairs whole in ahead; a pair cut
// by the end of a chunk is finished where the next begins.
void yo_as_ye_utf8(letter_reader& reader) {
    if (!reader.yo_as_ye)
        return;
    std::uint8_t* bytes = reader.ahead.get();
    std::size_t i = std::max(reader.yo_looked_to, reader.ahead_at);
    for (; i + 1 < reader.ahead_size; ++i)
        if ((bytes[i] == 0xD0 && bytes[i + 1] == 0x81) ||
            (bytes[i] == 0xD1 && bytes[i + 1] == 0x91)) {
            bytes[i + 1] = bytes[i] == 0xD0 ? 0x95 : 0xB5;
            bytes[i] = 0xD0;
            ++reader.yo_changed;
        }
    reader.yo_looked_to = reader.ahead_size;
}

// Bytes just read, made letters: CP866 and KOI8-R become Windows-1251 first, Ё and ё with them.
std::size_t keep_read_letters(letter_reader& reader, std::uint8_t* bytes, std::size_t size) {
    if (reader.table != nullptr)
        translate_bytes(bytes, size, *reader.table);
    yo_as_ye_1251(reader, bytes, size);
    return keep_letters(bytes, size);
}

// Serves the bytes kept ahead, then reads straight into letters: asking for exactly the letters
// still missing means the raw bytes always fit in the space left.
std::size_t read_single_byte(letter_reader& reader, std::uint8_t* letters, std::size_t wanted) {
    std::size_t taken = 0;
    while (taken < wanted && reader.ahead_at < reader.ahead_size) {
        const std::size_t take = std::min(wanted - taken, reader.ahead_size - reader.ahead_at);
        std::memcpy(letters + taken, reader.ahead.get() + reader.ahead_at, take);
        reader.ahead_at += take;
        taken += keep_read_letters(reader, letters + taken, take);
    }
    while (taken < wanted && !reader.ended) {
        const std::size_t asked = wanted - taken;
        const std::size_t got = std::fread(letters + taken, 1, asked, reader.stream);
        taken += keep_read_letters(reader, letters + taken, got);
        reader.ended = got < asked;
    }
    return taken;
}

// UTF-8 is read a chunk at a time into ahead; a letter whose lead byte ends one chunk is
// finished by the next through previous. What is served is checked as it goes, to count what
// was skipped.
std::size_t read_utf8(letter_reader& reader, std::uint8_t* letters, std::size_t wanted) {
    std::size_t taken = 0;
    while (taken < wanted) {
        if (reader.ahead_at == reader.ahead_size) {
            if (reader.ended) {
                reader.served.malformed += reader.served.held; // cut by the end
                reader.served.held = 0;
                reader.served.need = 0;
                break;
            }
            const std::size_t got =
                std::fread(reader.ahead.get(), 1, reader.chunk_size, reader.stream);
            reader.ended = got < reader.chunk_size;
            reader.ahead_at = 0;
            reader.ahead_size = got;
            reader.yo_looked_to = 0;
            continue;
        }
        const std::uint8_t* bytes = reader.ahead.get() + reader.ahead_at;
        if (reader.yo_as_ye && reader.ahead_at == 0 &&
            ((reader.previous == 0xD0 && bytes[0] == 0x81) ||
             (reader.previous == 0xD1 && bytes[0] == 0x91))) {
            // A Ё or ё cut by the chunk: its lead was served as a non-letter already.
            letters[taken++] = reader.previous == 0xD0 ? 0xC5 : 0xE5;
            ++reader.yo_changed;
            check_utf8(bytes, 1, reader.served);
            reader.previous = bytes[0];
            reader.ahead_at = 1;
            continue;
        }
        yo_as_ye_utf8(reader);
        const utf8_progress step =
            take_utf8_letters(bytes, reader.ahead_size - reader.ahead_at, reader.previous,
                              letters + taken, wanted - taken);
        if (step.bytes > 0)
            reader.previous = bytes[step.bytes - 1];
        check_utf8(bytes, step.bytes, reader.served);
        reader.ahead_at += step.bytes;
        taken += step.letters;
    }
    return taken;
}

void decide(letter_reader& reader, text_encoding encoding, bool mark) {
    reader.decided = true;
    reader.encoding = encoding;
    reader.byte_order_mark = mark;
    reader.table = letters_as_windows_1251(encoding);
    reader.likeliest = encoding;
}

} // namespace

letter_reader make_letter_reader(std::FILE* stream, std::size_t chunk_size) {
    assert(chunk_size >= 8);
    return {.stream = stream,
            .chunk_size = chunk_size,
            .ahead = make_io_buffer(std::max(chunk_size, mark_window)),
            .served = {}};
}

bool read_byte_order_mark(letter_reader& reader) {
    if (reader.mark_looked_for)
        return reader.byte_order_mark;
    reader.mark_looked_for = true;
    std::uint8_t* const b = reader.ahead.get();
    reader.ahead_size = read_up_to(reader, b, 0, 3);
    if (reader.ahead_size >= 2 &&
        ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
        reader.ahead_size = read_up_to(reader, b, reader.ahead_size, mark_window);
    const byte_order_mark mark = find_byte_order_mark({b, reader.ahead_size});
    if (mark.found) {
        decide(reader, mark.encoding, true);
        // UTF-16 has no letters to serve.
        reader.ahead_at = mark.encoding == text_encoding::utf16 ? reader.ahead_size : mark.size;
    } else if (reader.ahead_size >= 2 && (utf16_high_byte(b[0]) || utf16_high_byte(b[1]))) {
        // Read further only when the first unit hints at UTF-16, so a text's reader waits for
        // three bytes, not thirty-two.
        reader.ahead_size = read_up_to(reader, b, reader.ahead_size, 2 * utf16_units_judged);
        if (is_unmarked_utf16({b, reader.ahead_size})) {
            decide(reader, text_encoding::utf16, false);
            reader.ahead_at = reader.ahead_size;
        }
    }
    return reader.byte_order_mark;
}

text_encoding decide_encoding(letter_reader& reader) {
    read_byte_order_mark(reader);
    if (reader.decided)
        return reader.encoding;
    // Squeezed, the bytes read never outgrow ahead: each read starts with at most
    // 2 * judged bytes stored and asks for no more than the rest of chunk_size.
    std::uint8_t* const window = reader.ahead.get();
    const std::size_t judged = reader.chunk_size / 4;
    std::size_t high = 0;
    std::size_t stored = squeeze_ascii(window, 0, reader.ahead_size, 0, high);
    while (high <= judged && !reader.ended) {
        const std::size_t asked = reader.chunk_size - stored;
        const std::size_t got = std::fread(window + stored, 1, asked, reader.stream);
        reader.ended = got < asked;
        stored = squeeze_ascii(window, stored, stored + got, stored, high);
    }
    decide(reader, judge_text({window, stored}, reader.ended, judged), false);
    // Counts that lean elsewhere without making sure are said, so that the guess is never silent.
    if (reader.encoding == text_encoding::windows_1251)
        reader.likeliest = judge_by_counts({window, stored}).likeliest;
    reader.ahead_at = 0;
    reader.ahead_size = stored;
    return reader.encoding;
}

void read_as(letter_reader& reader, text_encoding encoding) {
    read_byte_order_mark(reader);
    const bool mark_kept = reader.byte_order_mark && encoding == text_encoding::utf8;
    if (!mark_kept)
        reader.ahead_at = 0; // a mark of another encoding is text
    decide(reader, encoding, mark_kept);
    reader.encoding_given = true;
}

std::size_t read_letters(letter_reader& reader, std::uint8_t* letters, std::size_t wanted) {
    switch (decide_encoding(reader)) {
    case text_encoding::windows_1251:
    case text_encoding::cp866:
    case text_encoding::koi8_r: return read_single_byte(reader, letters, wanted);
    // Malformed bytes are only non-letters, as they are to an editor that shows them as
    // replacement characters.
    case text_encoding::utf8: return read_utf8(reader, letters, wanted);
    case text_encoding::utf16: break;
    }
    return 0;
}

bool reader_failed(const letter_reader& reader) {
    return std::ferror(reader.stream) != 0;
}

std::size_t skipped_bytes(const letter_reader& reader) {
    return reader.served.malformed;
}
