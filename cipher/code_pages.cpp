#include "cipher/code_pages.hpp"

namespace {

// а..я (Windows-1251 E0..FF) in each set; the capitals of both are 0x20 below (CP866: the
// block 80..9F for all 32) and Ё, ё stand apart.
constexpr std::array<std::uint8_t, 32> koi8_r_small = {
    0xC1, 0xC2, 0xD7, 0xC7, 0xC4, 0xC5, 0xD6, 0xDA, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,
    0xD2, 0xD3, 0xD4, 0xD5, 0xC6, 0xC8, 0xC3, 0xDE, 0xDB, 0xDD, 0xDF, 0xD9, 0xD8, 0xDC, 0xC0, 0xD1};

struct code_page {
    std::array<std::uint8_t, 32> capital;
    std::array<std::uint8_t, 32> small;
    std::uint8_t capital_yo;
    std::uint8_t small_yo;
};

constexpr code_page koi8_r = [] {
    code_page page{};
    for (std::size_t i = 0; i < 32; ++i) {
        page.small[i] = koi8_r_small[i];
        page.capital[i] = static_cast<std::uint8_t>(koi8_r_small[i] + 0x20U);
    }
    page.capital_yo = 0xB3;
    page.small_yo = 0xA3;
    return page;
}();

constexpr code_page cp866 = [] {
    code_page page{};
    for (std::size_t i = 0; i < 32; ++i) {
        page.capital[i] = static_cast<std::uint8_t>(0x80U + i);
        page.small[i] = static_cast<std::uint8_t>(i < 16 ? 0xA0U + i : 0xE0U + i - 16);
    }
    page.capital_yo = 0xF0;
    page.small_yo = 0xF1;
    return page;
}();

constexpr byte_table to_windows_1251(const code_page& page) {
    byte_table table{};
    for (std::size_t i = 0; i < 32; ++i) {
        table[page.capital[i]] = static_cast<std::uint8_t>(0xC0U + i);
        table[page.small[i]] = static_cast<std::uint8_t>(0xE0U + i);
    }
    table[page.capital_yo] = 0xA8;
    table[page.small_yo] = 0xB8;
    return table;
}

constexpr byte_table from_windows_1251(const code_page& page) {
    byte_table table{};
    for (std::size_t b = 0; b < 0x80; ++b)
        table[b] = static_cast<std::uint8_t>(b);
    for (std::size_t i = 0; i < 32; ++i) {
        table[0xC0 + i] = page.capital[i];
        table[0xE0 + i] = page.small[i];
    }
    table[0xA8] = page.capital_yo;
    table[0xB8] = page.small_yo;
    return table;
}

constexpr byte_table koi8_r_in = to_windows_1251(koi8_r);
constexpr byte_table koi8_r_out = from_windows_1251(koi8_r);
constexpr byte_table cp866_in = to_windows_1251(cp866);
constexpr byte_table cp866_out = from_windows_1251(cp866);

} // namespace

const byte_table* letters_as_windows_1251(text_encoding encoding) {
    switch (encoding) {
    case text_encoding::koi8_r: return &koi8_r_in;
    case text_encoding::cp866: return &cp866_in;
    default: return nullptr;
    }
}

const byte_table* letters_from_windows_1251(text_encoding encoding) {
    switch (encoding) {
    case text_encoding::koi8_r: return &koi8_r_out;
    case text_encoding::cp866: return &cp866_out;
    default: return nullptr;
    }
}

void translate_bytes(std::uint8_t* bytes, std::size_t size, const byte_table& table) {
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = table[bytes[i]];
}

void translate_bytes(const std::uint8_t* from, std::size_t size, const byte_table& table,
                     std::uint8_t* to) {
    for (std::size_t i = 0; i < size; ++i)
        to[i] = table[from[i]];
}
