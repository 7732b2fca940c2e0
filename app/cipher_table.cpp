#include "app/cipher_table.hpp"

#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::uint8_t case_bit = 0x20; // Windows-1251 small letters are the capitals + 32

// A Windows-1251 character as the terminal shows it: the letters and Ё, ё; ASCII as it is.
std::string shown(std::uint8_t c) {
    if (c < 0x80) {
        const char ascii[] = {static_cast<char>(c), '\0'};
        return ascii;
    }
    char32_t code = c >= 0xC0   ? U'\u0410' + (c - 0xC0U)
                    : c == 0xA8 ? U'\u0401'
                    : c == 0xB8 ? U'\u0451'
                                : U'?';
    if (code == U'?')
        return "?";
    const char utf8[] = {static_cast<char>(0xC0U | (code >> 6)),
                         static_cast<char>(0x80U | (code & 0x3FU)), '\0'};
    return text_for_terminal(utf8);
}

std::string cell(std::uint8_t letter) {
    return "  " + shown(letter);
}

std::string cell(int number) {
    return "  " + std::to_string(number);
}

// The square's present cells, row by row: a short block stops part way through a row.
std::string square(const std::uint8_t* plain, std::size_t size, int n) {
    std::string text;
    const auto width = static_cast<std::size_t>(n);
    for (std::size_t row = 0; row * width < size; ++row) {
        text += "         ";
        for (std::size_t c = 0; c < width && row * width + c < size; ++c)
            text += cell(static_cast<std::uint8_t>(plain[row * width + c] | case_bit));
        text += '\n';
    }
    return text;
}

// The columns in the order they are read, each from the top down, as the ciphertext gives them.
std::string columns(const std::uint8_t* cipher, const std::int32_t* order, int n,
                    std::size_t size) {
    std::string text;
    const auto width = static_cast<std::size_t>(n);
    std::size_t at = 0;
    for (int r = 0; r < n; ++r) {
        const auto column = static_cast<std::size_t>(order[r]);
        const std::size_t height = size / width + (column < size % width ? 1 : 0);
        text += message_format(tr("  %d: column %zu: "), r + 1, column);
        for (std::size_t k = 0; k < height; ++k)
            text += shown(static_cast<std::uint8_t>(cipher[at++] & ~case_bit));
        text += '\n';
    }
    return text;
}

} // namespace

void draw_cipher_table(std::FILE* stream, table_way way, const std::string& key,
                       const std::int32_t* order, int n, const std::uint8_t* plain,
                       std::size_t plain_size, std::uint64_t letters) {
    const std::size_t block = block_letters(n);
    const std::size_t first = std::min({block, plain_size, static_cast<std::size_t>(letters)});
    std::array<std::uint8_t, max_block_size> cipher{};
    encipher_letters(plain, first, order, n, cipher.data());
    std::array<int, max_key_length> rank{};
    for (int r = 0; r < n; ++r)
        rank[static_cast<std::size_t>(order[r])] = r + 1;

    const std::uint64_t blocks = (letters + block - 1) / block;
    std::string text =
        message_format(tr_plural(blocks, "%llu block of %zu letters", "%llu blocks of %zu letters"),
                       static_cast<unsigned long long>(blocks), block);
    if (letters % block != 0 && blocks == 1)
        text += message_format(tr_plural(letters, ", short: %llu letter", ", short: %llu letters"),
                               static_cast<unsigned long long>(letters));
    else if (letters % block != 0)
        text += message_format(tr_plural(letters % block, ", the last short: %llu letter",
                                         ", the last short: %llu letters"),
                               static_cast<unsigned long long>(letters % block));
    text += std::string(".\n") + tr("The key over its columns, and the order they are read in:") +
            "\n" + tr("  column ");
    for (int c = 0; c < n; ++c)
        text += cell(c);
    text += std::string("\n") + tr("  key    ");
    for (int c = 0; c < n; ++c)
        text += cell(static_cast<std::uint8_t>(key[static_cast<std::size_t>(c)]));
    text += std::string("\n") + tr("  read   ");
    for (int c = 0; c < n; ++c)
        text += cell(rank[static_cast<std::size_t>(c)]);
    text += '\n';
    const std::string rows = square(plain, first, n);
    const std::string read = columns(cipher.data(), order, n, first);
    if (way == table_way::decipher)
        text +=
            std::string(tr("The first block's ciphertext fills the columns in the order read:")) +
            "\n" + read + tr("and the square gives the plaintext row by row:") + "\n" + rows;
    else
        text += std::string(tr("The first block's plaintext fills the square row by row:")) + "\n" +
                rows + tr("and the columns are read out in order:") + "\n" + read;
    write_message(stream, {text.c_str()});
}
