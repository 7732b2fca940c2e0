// Which encoding a text is in, judged from its start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// UTF-16 has no letters here: the tools refuse it. CP866 (a Windows console's) and KOI8-R are
// read through tables (code_pages.hpp).
enum class text_encoding { windows_1251, utf8, utf16, cp866, koi8_r };

// The name messages give it: "Windows-1251", "UTF-8", "UTF-16", "CP866", "KOI8-R".
const char* encoding_name(text_encoding encoding);

// UTF-16 is told from two letters "яю" or "юя" by up to this many 2-byte units after its mark.
inline constexpr std::size_t utf16_units_judged = 16;
// The most bytes a byte-order mark is judged by.
inline constexpr std::size_t mark_window = 2 + 2 * utf16_units_judged;
// Bytes above 0x7F that the choice between UTF-8 and Windows-1251 is made on, by default.
inline constexpr std::size_t bytes_judged = 65536;

// What a byte-order mark at the start of a text says.
struct byte_order_mark {
    bool found;
    text_encoding encoding;
    std::size_t size; // bytes of the mark
};

// The mark at the start of start, which holds the text's first mark_window bytes or all of
// it. EF BB BF is UTF-8. FF FE (FE FF) is UTF-16 little- (big-) endian when nothing follows it
// (an empty "Unicode" file), or when at least one whole unit does and, of the first
// utf16_units_judged units after it, more than half have a high byte of 0x00 or 0x04, as ASCII
// and Russian do; Windows-1251 text holds neither byte. Else they are the letters "яю" ("юя").
byte_order_mark find_byte_order_mark(std::span<const std::uint8_t> start);

// A byte that is the high byte of a UTF-16 unit of ASCII or Russian; no letter or sign of
// Windows-1251 or UTF-8 text is either.
constexpr bool utf16_high_byte(std::uint8_t b) {
    return b == 0x00 || b == 0x04;
}

// UTF-16 saved without a mark, as some editors do. start holds the text's first
// 2 * utf16_units_judged bytes, or all of it: at least two whole units, the first with a byte
// utf16_high_byte, and of the units judged more than half with such a byte on one side and
// fewer than half with one on the other.
bool is_unmarked_utf16(std::span<const std::uint8_t> start);

// The encoding of a text with no mark: UTF-8, or a single-byte set. start is the text from its
// start, all of it when at_end, else at least up to its judged-th byte above 0x7F; runs of ASCII in
// it may be cut short to a byte, as that changes nothing here. What is judged is start up to that
// byte. A character cut by the end of what is judged is not judged when the text goes on. UTF-8
// when the bytes judged hold a byte above 0x7F and either
// - are well-formed UTF-8, strictly, no character cut by the end of the text; or
// - hold at least 4 well-formed characters U+0400..U+04FF and at most one malformed byte (see
//   utf8_check) for every full 64 bytes above 0x7F, a character cut by the end of the text not
//   counted: a copy cut short, or a stray byte in a long text.
// Else the single-byte set judge_by_counts finds in the bytes judged. A Windows-1251 letter is
// never a continuation byte and never a whole character, so each one followed by another is a
// malformed byte: a Windows-1251 text is never UTF-8 when the bytes judged hold two letters in a
// row for every 64 bytes above 0x7F, and Russian words hold several each.
text_encoding judge_text(std::span<const std::uint8_t> start, bool at_end,
                         std::size_t judged = bytes_judged);

// Windows-1251, CP866 or KOI8-R for bytes that are not UTF-8, from how often each byte above
// 0x7F comes: a transposition keeps every letter, so ciphertext counts as plaintext does. Each
// set's reading scores the bytes by the frequency of the Russian letter each is there (case
// aside), and a byte that is no letter there as a rare sign. CP866 or KOI8-R is taken only
// when its reading beats Windows-1251's by a clear margin, in all and per byte, and reads as
// Russian itself; likeliest is the best scored reading, taken or not.
struct count_verdict {
    text_encoding encoding;
    text_encoding likeliest;
};
count_verdict judge_by_counts(std::span<const std::uint8_t> bytes);

// The encoding of a text whose start (as for judge_text, from the first byte) is start:
// its mark's, else UTF-16 when it is so without a mark, else judge_text's.
text_encoding decide_encoding(std::span<const std::uint8_t> start, bool at_end,
                              std::size_t judged = bytes_judged);
