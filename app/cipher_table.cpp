#include "app/cipher_table.hpp"

#include "app/platform.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::uint8_t case_bit = 0x20; // Windows-1251 small letters are the capitals + 32

std::string cell(std::uint8_t letter) {
    return std::string("  ") + static_cast<char>(letter);
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
        text += "  " + std::to_string(r + 1) + ": column " + std::to_string(column) + ": ";
        for (std::size_t k = 0; k < height; ++k)
            text += static_cast<char>(cipher[at++] & ~case_bit);
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
    std::string text = std::to_string(blocks) + (blocks == 1 ? " block" : " blocks") + " of " +
                       std::to_string(block) + " letters";
    const auto count = [](std::uint64_t k) {
        return std::to_string(k) + (k == 1 ? " letter" : " letters");
    };
    if (letters % block != 0)
        text += blocks == 1 ? ", short: " + count(letters)
                            : ", the last short: " + count(letters % block);
    text += ".\nThe key over its columns, and the order they are read in:\n  column ";
    for (int c = 0; c < n; ++c)
        text += cell(c);
    text += "\n  key    ";
    for (int c = 0; c < n; ++c)
        text += cell(static_cast<std::uint8_t>(key[static_cast<std::size_t>(c)]));
    text += "\n  read   ";
    for (int c = 0; c < n; ++c)
        text += cell(rank[static_cast<std::size_t>(c)]);
    text += '\n';
    const std::string rows = square(plain, first, n);
    const std::string read = columns(cipher.data(), order, n, first);
    if (way == table_way::decipher)
        text += "The first block's ciphertext fills the columns in the order read:\n" + read +
                "and the square gives the plaintext row by row:\n" + rows;
    else
        text += "The first block's plaintext fills the square row by row:\n" + rows +
                "and the columns are read out in order:\n" + read;
    write_windows_1251(stream, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
