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

// Windows-1251 letters as KOI8-R bytes, case kept: what crack sees of a KOI8-R file.
inline bytes koi8r(bytes text) {
    static const bytes lower = "\xC1\xC2\xD7\xC7\xC4\xC5\xD6\xDA\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0"
                               "\xD2\xD3\xD4\xD5\xC6\xC8\xC3\xDE\xDB\xDD\xDF\xD9\xD8\xDC\xC0\xD1"_b;
    for (auto& b : text)
        b = static_cast<std::uint8_t>(lower[b & 0x1FU] | ((b & 0x20U) ^ 0x20U));
    return text;
}
