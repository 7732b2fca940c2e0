// Test helpers: texts, orders and temporary files.
#pragma once

#include "cipher/text_encoding.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using bytes = std::basic_string<std::uint8_t>;

inline bytes operator""_b(const char* text, std::size_t size) {
    return {reinterpret_cast<const std::uint8_t*>(text), size};
}

inline bytes encipher(const bytes& plain, const std::vector<std::int32_t>& order) {
    bytes cipher(plain.size(), 0);
    encipher_letters(plain.data(), plain.size(), order.data(), static_cast<int>(order.size()),
                     cipher.data());
    return cipher;
}

// Groups of five, ten a line, every line ended: written out the obvious way.
inline bytes laid_out(const bytes& letters) {
    bytes text;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (i > 0 && i % 5 == 0)
            text += static_cast<std::uint8_t>(i % 50 == 0 ? '\n' : ' ');
        text += letters[i];
    }
    return letters.empty() ? text : text + "\n"_b;
}

// The column order by its plain definition: positions stably sorted by key byte as a signed
// number, starting from descending positions so that equal bytes keep the later one first.
inline std::vector<std::int32_t> reference_column_order(std::string_view key) {
    std::vector<std::int32_t> order(key.size());
    std::iota(order.rbegin(), order.rend(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return static_cast<signed char>(key[static_cast<std::size_t>(a)]) <
               static_cast<signed char>(key[static_cast<std::size_t>(b)]);
    });
    return order;
}

inline bytes lowercase(bytes text) {
    for (auto& b : text)
        b = static_cast<std::uint8_t>(b | 0x20U);
    return text;
}

// Letters of either case, drawn from a fixed seed.
inline bytes random_letters(std::mt19937& rng, std::size_t size) {
    std::uniform_int_distribution<int> letter(0xC0, 0xFF);
    bytes text(size, 0);
    for (auto& b : text)
        b = static_cast<std::uint8_t>(letter(rng));
    return text;
}

// Puts a non-letter (blank, punctuation, line break, Ё, ё, Latin, 0x1A) before about every
// third letter, and one at the end.
inline bytes sprinkle(std::mt19937& rng, const bytes& letters) {
    static const bytes noise = " .,\r\n\xA8\xB8Zq7\x1A\xBF"_b;
    std::uniform_int_distribution<std::size_t> pick(0, noise.size() * 3 - 1);
    bytes out;
    for (const std::uint8_t b : letters) {
        if (const std::size_t i = pick(rng); i < noise.size())
            out += noise[i];
        out += b;
    }
    return out + "\r\n"_b;
}

inline std::vector<std::int32_t> random_order(std::mt19937& rng, int n) {
    std::vector<std::int32_t> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        order[static_cast<std::size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), rng);
    return order;
}

// An anonymous file holding content, positioned at its start.
inline std::FILE* file_with(const bytes& content) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    return f;
}

inline bytes file_content(std::FILE* f) {
    std::rewind(f);
    bytes content;
    for (int ch = 0; (ch = std::getc(f)) != EOF;)
        content += static_cast<std::uint8_t>(ch);
    return content;
}

// Windows-1251 text in UTF-8: А..я from U+0410, Ё, ё and ї (0xA8, 0xB8, 0xBF) as themselves, the
// other bytes at or above 0x80 as the Latin-1 characters of the same number (non-letters, which
// is all that matters here).
inline bytes utf8_of(const bytes& text) {
    bytes out;
    for (const std::uint8_t b : text) {
        const unsigned c = b == 0xA8   ? 0x401
                           : b == 0xB8 ? 0x451
                           : b == 0xBF ? 0x457
                           : b >= 0xC0 ? b - 0xC0 + 0x410U
                                       : b;
        if (c < 0x80)
            out += b;
        else
            out += {static_cast<std::uint8_t>(0xC0 | c >> 6),
                    static_cast<std::uint8_t>(0x80 | (c & 0x3F))};
    }
    return out;
}

// What the slow reference for UTF-8 finds, decoding a character at a time and skipping what is
// malformed (a lead byte and the continuation bytes that fit it).
struct utf8_reading {
    bytes letters;             // U+0410..U+044F as Windows-1251
    std::size_t malformed = 0; // bytes skipped, but for a character cut at the very end
    std::size_t cut = 0;       // the bytes of that character
    std::size_t cyrillic = 0;  // characters U+0400..U+04FF
};

inline utf8_reading decode_utf8(const bytes& text) {
    utf8_reading r;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned b = text[i];
        const std::size_t length = b < 0x80   ? 1
                                   : b < 0xC2 ? 0
                                   : b < 0xE0 ? 2
                                   : b < 0xF0 ? 3
                                   : b < 0xF5 ? 4
                                              : 0;
        // The second byte's range: no overlong forms, no surrogates, nothing above U+10FFFF.
        const unsigned low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
        const unsigned high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
        unsigned code = b & (0x7FU >> length);
        std::size_t k = 1;
        for (; k < length && i + k < text.size() && text[i + k] >= (k == 1 ? low : 0x80) &&
               text[i + k] <= (k == 1 ? high : 0xBF);
             ++k)
            code = code << 6 | (text[i + k] & 0x3FU);
        if (k == length && code >= 0x410 && code <= 0x44F)
            r.letters += static_cast<std::uint8_t>(code - 0x410 + 0xC0);
        r.cyrillic += k == length && code >= 0x400 && code <= 0x4FF ? 1U : 0U;
        if (k < length && i + k == text.size())
            r.cut = k;
        else if (k < length || length == 0)
            r.malformed += k;
        i += k;
    }
    return r;
}

// Windows-1251 letters as KOI8-R bytes, case kept: what crack sees of a KOI8-R file.
inline bytes koi8r(bytes text) {
    static const bytes lower = "\xC1\xC2\xD7\xC7\xC4\xC5\xD6\xDA\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0"
                               "\xD2\xD3\xD4\xD5\xC6\xC8\xC3\xDE\xDB\xDD\xDF\xD9\xD8\xDC\xC0\xD1"_b;
    for (auto& b : text)
        b = static_cast<std::uint8_t>(lower[b & 0x1FU] | ((b & 0x20U) ^ 0x20U));
    return text;
}

// Windows-1251 text in KOI8-R: its letters so, the rest as it is.
inline bytes koi8r_text(bytes text) {
    for (auto& b : text)
        b = b >= 0xC0 ? koi8r({b})[0] : b;
    return text;
}

// The same in CP866: capitals from 0x80, а..п from 0xA0, р..я from 0xE0.
inline bytes cp866(bytes text) {
    for (auto& b : text)
        if (b >= 0xC0)
            b = static_cast<std::uint8_t>(b < 0xE0 ? b - 0x40 : b < 0xF0 ? b - 0x40 : b - 0x10);
    return text;
}

// The letters of a CP866 or KOI8-R text, as Windows-1251, found by trying every letter.
inline bytes single_byte_letters(const bytes& text, text_encoding encoding) {
    bytes letters;
    for (const std::uint8_t b : text)
        for (unsigned letter = 0xC0; letter <= 0xFF; ++letter) {
            const bytes one(1, static_cast<std::uint8_t>(letter));
            if ((encoding == text_encoding::koi8_r ? koi8r(one) : cp866(one))[0] == b)
                letters += one;
        }
    return letters;
}

// The letters a reader must give, and the encoding it must decide, by the rule on the whole
// text: a UTF-8 mark; a UTF-16 one alone or followed by units most of whose high bytes (of up
// to 16) are 0x00 or 0x04; UTF-16 with no mark, so in step; else UTF-8 when the text up to its
// judged-th byte above 0x7F (all of it if it has no more) is clean UTF-8, a character cut at that
// byte allowed only when more such bytes follow, or holds 4 Cyrillic characters and a malformed
// byte at most per full 64 bytes above 0x7F, a cut at the very end not counted; else the
// single-byte set the counts of those bytes name (judge_by_counts), its letters read by the tables
// above. skipped gets the bytes of UTF-8 skipped as malformed.
inline bytes reference_letters(const bytes& text, std::size_t judged = io_chunk_size / 4,
                               text_encoding* encoding = nullptr, std::size_t* skipped = nullptr) {
    const bool mark = text.starts_with("\xEF\xBB\xBF"_b);
    const auto high = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](std::uint8_t b) { return b >= 0x80; }));
    std::size_t end = 0;
    for (std::size_t seen = 0; seen < std::min(judged, high); ++end)
        seen += text[end] >= 0x80 ? 1U : 0U;
    const utf8_reading judged_part = decode_utf8(high > judged ? text.substr(0, end) : text);
    const bool clean = judged_part.malformed == 0 && (judged_part.cut == 0 || high > judged);
    const bool cyrillic =
        judged_part.cyrillic >= 4 && judged_part.malformed * 64 <= std::min(high, judged);
    text_encoding decided = mark || (high > 0 && (clean || cyrillic)) ? text_encoding::utf8
                                                                      : text_encoding::windows_1251;
    if (decided == text_encoding::windows_1251)
        decided = judge_by_counts(high > judged ? text.substr(0, end) : text).encoding;
    if (text.starts_with("\xFF\xFE"_b) || text.starts_with("\xFE\xFF"_b)) {
        std::size_t units = 0;
        std::size_t plausible = 0;
        for (std::size_t i = 2; i + 1 < text.size() && units < 16; i += 2, ++units) {
            const std::uint8_t b = text[text[0] == 0xFF ? i + 1 : i];
            plausible += b == 0 || b == 4 ? 1U : 0U;
        }
        if (plausible * 2 > units || text.size() == 2)
            decided = text_encoding::utf16;
    }
    // UTF-16 with no mark: a first unit with 0x00 or 0x04, and of up to 16 units more than half
    // with one on one side, fewer than half on the other.
    std::size_t side[2] = {0, 0};
    const std::size_t units = std::min<std::size_t>(text.size() / 2, 16);
    for (std::size_t i = 0; i < 2 * units; ++i)
        side[i % 2] += text[i] == 0 || text[i] == 4 ? 1U : 0U;
    if (units >= 2 && (text[0] == 0 || text[0] == 4 || text[1] == 0 || text[1] == 4) &&
        (side[0] * 2 > units) != (side[1] * 2 > units) && side[0] * 2 != units &&
        side[1] * 2 != units)
        decided = text_encoding::utf16;
    if (encoding != nullptr)
        *encoding = decided;
    bytes letters;
    std::size_t skipped_utf8 = 0;
    if (decided == text_encoding::utf8) {
        const utf8_reading all = decode_utf8(text.substr(mark ? 3 : 0));
        letters = all.letters;
        skipped_utf8 = all.malformed + all.cut;
    } else if (decided == text_encoding::windows_1251) {
        std::copy_if(text.begin(), text.end(), std::back_inserter(letters),
                     [](std::uint8_t b) { return b >= 0xC0; });
    } else if (decided != text_encoding::utf16) {
        letters = single_byte_letters(text, decided);
    }
    if (skipped != nullptr)
        *skipped = skipped_utf8;
    return letters;
}
