// The yardstick: the same run done the literal way, one formatted read ("%c") per input byte
// and one formatted write per output letter. Same files, same console, same output.
#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/transposition.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The alphabet as the literal way tests it: a signed byte from -64 to -1.
bool is_alphabet_letter(char c) {
    const auto s = static_cast<signed char>(c);
    return s >= -64 && s <= -1;
}

// The literal way: the order built, then printed to standard output.
void order_key_columns(std::int32_t* order, int n, const char* key_word) {
    fill_column_order(order, n, key_word);
    print_column_order(stdout, order, n);
}

} // namespace

int main() {
    std::FILE* in = std::fopen("Crypt.txt", "r");
    std::FILE* out = std::fopen("Decrypt.txt", "w");
    std::FILE* counting = std::fopen("Crypt.txt", "r");
    if (in == nullptr || out == nullptr || counting == nullptr) {
        std::fputs("No file :(\n", stdout);
        return 1;
    }
    std::int64_t total = 0;
    char symbol = 0;
    while (std::fscanf(counting, "%c", &symbol) == 1)
        total += is_alphabet_letter(symbol) ? 1 : 0;
    std::fclose(counting);

    std::fputs("Enter key word: ", stdout);
    std::fflush(stdout);
    std::array<char, max_key_length + 2> key{};
    if (std::fgets(key.data(), static_cast<int>(key.size()), stdin) == nullptr)
        return 1;
    key[std::strcspn(key.data(), "\r\n")] = '\0';
    const int n = static_cast<int>(std::strlen(key.data()));
    std::array<std::int32_t, max_key_length> order{};
    order_key_columns(order.data(), n, key.data());

    std::vector<std::uint8_t> block(block_letters(n));
    std::array<std::uint8_t, max_block_size> plain{};
    for (std::int64_t done = 0; !std::feof(in); done += static_cast<std::int64_t>(block.size())) {
        for (std::size_t taken = 0; taken < block.size() && std::fscanf(in, "%c", &symbol) == 1;)
            if (is_alphabet_letter(symbol))
                block[taken++] = static_cast<std::uint8_t>(symbol);
        const std::size_t size =
            unscramble_block(block.data(), order.data(), n, done, total, plain.data());
        for (std::size_t i = 0; i < size; ++i)
            std::fprintf(out, "%c", plain[i]);
    }
    return std::fclose(out) == 0 && std::fclose(in) == 0 ? 0 : 1;
}
