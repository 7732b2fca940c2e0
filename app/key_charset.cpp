#include "app/key_charset.hpp"

#include "app/platform.hpp"
#include "cipher/alphabet.hpp"
#include "cipher/utf8_rules.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Windows-1251 0x80..0xBF; 0x98 has no character. 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char32_t, 64> upper_half = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// The Windows-1251 byte of c, or -1.
int windows_1251_of(char32_t c) {
    if (c < 0x80)
        return static_cast<int>(c);
    if (c >= 0x0410 && c <= 0x044F)
        return static_cast<int>(c - 0x0410 + first_letter);
    const auto* at = std::find(upper_half.begin(), upper_half.end(), c);
    return c != 0 && at != upper_half.end() ? static_cast<int>(0x80 + (at - upper_half.begin()))
                                            : -1;
}

// Decodes the character at text[i], strictly; advances i past it. False when malformed.
bool next_character(const std::string& text, std::size_t& i, char32_t& c) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    const std::size_t size = utf8_length(lead);
    if (size == 0 || i + size > text.size())
        return false;
    c = size == 1 ? lead : static_cast<char32_t>(lead & (0x7FU >> size));
    for (std::size_t k = 1; k < size; ++k) {
        const utf8_byte_range range = utf8_continuation(lead, k == 1);
        if (byte(i + k) < range.low || byte(i + k) > range.high)
            return false;
        c = (c << 6) | (byte(i + k) & 0x3FU);
    }
    i += size;
    return true;
}

} // namespace

bool utf8_to_windows_1251(const std::string& text, std::string& out, std::string& no_form) {
    out.clear();
    no_form.clear();
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        if (!next_character(text, i, c))
            return false;
        const int b = windows_1251_of(c);
        if (b < 0 && no_form.empty())
            no_form = text.substr(start, i - start);
        out += static_cast<char>(b < 0 ? '?' : b);
    }
    return true;
}

bool is_cyrillic_utf8(const std::string& text) {
    bool cyrillic = false;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        if (!next_character(text, i, c))
            return false;
        cyrillic = cyrillic || (c >= 0x0400 && c <= 0x04FF);
    }
    return cyrillic;
}

key_text key_in_windows_1251(const std::string& line, bool cut, bool c_locale) {
    key_text key;
    const bool plain_ascii = std::all_of(
        line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    key.text = line;
    if (plain_ascii)
        return key;
    // A cut line is judged without its last few bytes, which may be half a character.
    for (std::size_t dropped = 0; dropped < (cut ? 4U : 1U) && dropped < line.size(); ++dropped) {
        const std::string whole = line.substr(0, line.size() - dropped);
        std::string utf8;
        if (c_locale) {
            if (!is_cyrillic_utf8(whole))
                continue;
            utf8 = whole;
            key.read_as_utf8 = true;
        } else if (!locale_text_to_utf8(whole, utf8)) {
            continue;
        }
        std::string converted;
        if (utf8_to_windows_1251(utf8, converted, key.no_form)) {
            // Shown as it was typed, in the locale's character set.
            std::string typed;
            if (!key.read_as_utf8 && !key.no_form.empty() &&
                utf8_to_locale_text(key.no_form, typed))
                key.no_form = typed;
            key.text = converted;
            return key;
        }
        key.read_as_utf8 = false;
    }
    return key;
}
