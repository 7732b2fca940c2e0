#include "cipher/transposition.hpp"

#include "cipher/letter_stream.hpp"

#include <array>
#include <cstring>

namespace {

constexpr std::uint8_t lowercase(std::uint8_t letter) {
    // Uppercase 0xC0..0xDF gain 32; lowercase letters already have the bit and stay letters.
    return static_cast<std::uint8_t>(letter | 0x20U);
}

} // namespace

std::size_t unscramble_block(const std::uint8_t *block, const std::int32_t *order, int n,
                             std::int64_t letters_done, std::int64_t letter_total,
                             std::uint8_t *plain) {
    std::array<std::uint8_t, max_block_size> cell; // only present cells are set or read
    std::size_t t = 0;
    for (int rank = 0; rank < n; ++rank) {
        const std::int32_t c = order[rank];
        // Text positions grow down a column, so the first absent cell ends it.
        for (int j = 0; j < n && letters_done + c + j * n < letter_total; ++j)
            cell[static_cast<std::size_t>(j * n + c)] = block[t++];
    }
    std::size_t written = 0;
    for (int q = 0; q < n * n && letters_done + q < letter_total; ++q)
        plain[written++] = lowercase(cell[static_cast<std::size_t>(q)]);
    return written;
}

bool decipher_block(std::FILE *output, const std::uint8_t *block, const std::int32_t *order, int n,
                    std::int64_t letters_done, std::int64_t letter_total) {
    std::array<std::uint8_t, max_block_size> plain;
    const std::size_t size =
        unscramble_block(block, order, n, letters_done, letter_total, plain.data());
    return std::fwrite(plain.data(), 1, size, output) == size;
}

void make_block_table(const std::int32_t *order, int n, std::uint8_t *table) {
    // In a full block every column holds n letters, so column order[rank] starts at rank * n
    // in the ciphertext and its row j sits j further on.
    for (int rank = 0; rank < n; ++rank)
        for (int j = 0; j < n; ++j)
            table[j * n + order[rank]] = static_cast<std::uint8_t>(rank * n + j);
}

void decipher_full_blocks(std::uint8_t *letters, std::size_t blocks, const std::uint8_t *table,
                          int n) {
    const auto size = static_cast<std::size_t>(n * n);
    std::array<std::uint8_t, max_block_size> cipher;
    for (std::uint8_t *block = letters; block != letters + blocks * size; block += size) {
        std::memcpy(cipher.data(), block, size);
        for (std::size_t q = 0; q < size; ++q)
            block[q] = lowercase(cipher[table[q]]);
    }
}

stream_fault decipher_stream(std::FILE *in, std::FILE *out, const std::int32_t *order, int n,
                             std::int64_t letter_total, std::uint8_t *buffer,
                             std::size_t buffer_size) {
    const auto block_size = static_cast<std::size_t>(n * n);
    const std::size_t blocks_per_read = buffer_size / block_size;
    std::array<std::uint8_t, max_block_size> table;
    make_block_table(order, n, table.data());

    std::int64_t letters_done = 0;
    for (;;) {
        const std::size_t got = read_block(in, buffer, n, blocks_per_read);
        if (std::ferror(in))
            return stream_fault::read;
        if (static_cast<std::int64_t>(got) > letter_total - letters_done)
            return stream_fault::changed;
        const std::size_t full = got / block_size * block_size;
        decipher_full_blocks(buffer, full / block_size, table.data(), n);
        if (std::fwrite(buffer, 1, full, out) != full)
            return stream_fault::write;
        letters_done += static_cast<std::int64_t>(full);
        if (got == blocks_per_read * block_size)
            continue;
        // The stream has ended: what is left is the short last block, if any.
        const std::size_t tail = got - full;
        if (static_cast<std::int64_t>(tail) != letter_total - letters_done)
            return stream_fault::changed;
        return decipher_block(out, buffer + full, order, n, letters_done, letter_total)
                   ? stream_fault::none
                   : stream_fault::write;
    }
}
