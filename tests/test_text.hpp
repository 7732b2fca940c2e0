// Test helpers: texts, orders and temporary files.
#pragma once

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

// Windows-1251 text in UTF-8: the code points of bytes 0x80..0xBF (0x98, unassigned, as U+0098),
// then А..я from U+0410.
inline bytes utf8_of(const bytes& text) {
    static constexpr std::uint16_t upper_half[64] = {
        0x402,  0x403,  0x201A, 0x453,  0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x409,
        0x2039, 0x40A,  0x40C,  0x40B,  0x40F,  0x452,  0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x98,   0x2122, 0x459,  0x203A, 0x45A,  0x45C,  0x45B,  0x45F,  0xA0,
        0x40E,  0x45E,  0x408,  0xA4,   0x490,  0xA6,   0xA7,   0x401,  0xA9,   0x404,  0xAB,
        0xAC,   0xAD,   0xAE,   0x407,  0xB0,   0xB1,   0x406,  0x456,  0x491,  0xB5,   0xB6,
        0xB7,   0x451,  0x2116, 0x454,  0xBB,   0x458,  0x405,  0x455,  0x457};
    bytes out;
    for (const std::uint8_t b : text) {
        const unsigned c = b < 0x80 ? b : b < 0xC0 ? upper_half[b - 0x80] : b - 0xC0 + 0x410U;
        if (c < 0x80)
            out += static_cast<std::uint8_t>(c);
        else if (c < 0x800)
            out += {static_cast<std::uint8_t>(0xC0 | c >> 6),
                    static_cast<std::uint8_t>(0x80 | (c & 0x3F))};
        else
            out += {static_cast<std::uint8_t>(0xE0 | c >> 12),
                    static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<std::uint8_t>(0x80 | (c & 0x3F))};
    }
    return out;
}

// The slow reference for UTF-8: decodes text a character at a time, skipping what is malformed
// (the lead byte and the continuation bytes that fit it), and returns the letters U+0410..U+044F
// as Windows-1251. clean is cleared by anything malformed but a character cut at the very end,
// cut set by that.
inline bytes decode_utf8_letters(const bytes& text, bool& clean, bool& cut) {
    struct form {
        std::uint8_t first, last, length, low, high;
    };
    static constexpr form forms[] = {{0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
                                     {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F},
                                     {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
                                     {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F}};
    clean = true;
    cut = false;
    bytes letters;
    for (std::size_t i = 0; i < text.size();) {
        const std::uint8_t b = text[i];
        const auto f = std::find_if(std::begin(forms), std::end(forms),
                                    [b](const form& x) { return b >= x.first && b <= x.last; });
        if (b < 0x80 || f == std::end(forms)) {
            clean = clean && b < 0x80;
            ++i;
            continue;
        }
        unsigned code = b & (0x7FU >> f->length);
        std::size_t k = 1;
        for (; k < f->length && i + k < text.size(); ++k) {
            const std::uint8_t c = text[i + k];
            if (c < (k == 1 ? f->low : 0x80) || c > (k == 1 ? f->high : 0xBF))
                break;
            code = code << 6 | (c & 0x3FU);
        }
        if (k == f->length && code >= 0x410 && code <= 0x44F)
            letters += static_cast<std::uint8_t>(code - 0x410 + 0xC0);
        cut = k < f->length && i + k == text.size();
        clean = clean && (k == f->length || cut);
        i += k;
    }
    return letters;
}

// The encoding decision by its rule, on the whole text: a mark; else UTF-8 when the text up to
// its judged-th byte above 0x7F (all of it if it has no more) is clean UTF-8, a character cut
// at that byte allowed only when more such bytes follow.
inline text_encoding reference_encoding(const bytes& text, std::size_t judged = io_chunk_size / 4) {
    if (text.starts_with("\xFF\xFE"_b) || text.starts_with("\xFE\xFF"_b))
        return text_encoding::utf16;
    if (text.starts_with("\xEF\xBB\xBF"_b))
        return text_encoding::utf8;
    std::size_t end = 0;
    std::size_t high = 0;
    for (; end < text.size() && high < judged; ++end)
        high += text[end] >= 0x80 ? 1U : 0U;
    const bool more = std::any_of(text.begin() + static_cast<std::ptrdiff_t>(end), text.end(),
                                  [](std::uint8_t b) { return b >= 0x80; });
    bool clean = false;
    bool cut = false;
    decode_utf8_letters(more ? text.substr(0, end) : text, clean, cut);
    return high > 0 && clean && (!cut || more) ? text_encoding::utf8 : text_encoding::windows_1251;
}

// The letters a reader must give.
inline bytes reference_letters(const bytes& text, std::size_t judged = io_chunk_size / 4) {
    bool clean = false;
    bool cut = false;
    switch (reference_encoding(text, judged)) {
    case text_encoding::utf8:
        return decode_utf8_letters(text.substr(text.starts_with("\xEF\xBB\xBF"_b) ? 3 : 0), clean,
                                   cut);
    case text_encoding::utf16: return {};
    case text_encoding::windows_1251: break;
    }
    bytes letters;
    std::copy_if(text.begin(), text.end(), std::back_inserter(letters),
                 [](std::uint8_t b) { return b >= 0xC0; });
    return letters;
}

// Windows-1251 letters as KOI8-R bytes, case kept: what crack sees of a KOI8-R file.
inline bytes koi8r(bytes text) {
    static const bytes lower = "\xC1\xC2\xD7\xC7\xC4\xC5\xD6\xDA\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0"
                               "\xD2\xD3\xD4\xD5\xC6\xC8\xC3\xDE\xDB\xDD\xDF\xD9\xD8\xDC\xC0\xD1"_b;
    for (auto& b : text)
        b = static_cast<std::uint8_t>(lower[b & 0x1FU] | ((b & 0x20U) ^ 0x20U));
    return text;
}
