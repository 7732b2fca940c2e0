#include "cipher/transposition.hpp"

#include "cipher/alphabet.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/simd.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#if DECIPHER_X86
#include <immintrin.h>
#endif

std::size_t unscramble_block(const std::uint8_t* block, const std::int32_t* order, int n,
                             std::int64_t letters_done, std::int64_t letter_total,
                             std::uint8_t* plain) {
    std::array<std::uint8_t, max_block_size> cell; // only present cells are set or read
    const auto side = static_cast<std::size_t>(n);
    const auto present = [&](std::size_t q) {
        return letters_done + static_cast<std::int64_t>(q) < letter_total;
    };
    std::size_t t = 0;
    for (std::size_t rank = 0; rank < side; ++rank) {
        const auto c = static_cast<std::size_t>(order[rank]);
        // Text positions grow down a column, so the first absent cell ends it.
        for (std::size_t q = c; q < side * side && present(q); q += side)
            cell[q] = block[t++];
    }
    std::size_t written = 0;
    for (std::size_t q = 0; q < side * side && present(q); ++q)
        plain[written++] = lowercase_letter(cell[q]);
    return written;
}

void make_block_table(const std::int32_t* order, int n, std::uint8_t* table) {
    // In a full block every column holds n letters, so column order[rank] starts at rank * n
    // in the ciphertext and its row j sits j further on.
    const auto side = static_cast<std::size_t>(n);
    for (std::size_t rank = 0; rank < side; ++rank)
        for (std::size_t j = 0; j < side; ++j)
            table[j * side + static_cast<std::size_t>(order[rank])] =
                static_cast<std::uint8_t>(rank * side + j);
}

void decipher_full_blocks_scalar(std::uint8_t* letters, std::size_t blocks,
                                 const std::uint8_t* table, int n) {
    const std::size_t size = block_letters(n);
    std::array<std::uint8_t, max_block_size> cipher;
    for (std::uint8_t* block = letters; block != letters + blocks * size; block += size) {
        std::memcpy(cipher.data(), block, size);
        for (std::size_t q = 0; q < size; ++q)
            block[q] = lowercase_letter(cipher[table[q]]);
    }
}

#if DECIPHER_X86
namespace {

// The shuffle control that makes output bytes [output_offset, output_offset + width) from the
// 16 letters at source_offset: where the letter a byte needs lies among them, its index there;
// elsewhere 0x80, which shuffles in a zero.
void make_pick(const std::uint8_t* table, std::size_t output_offset, std::size_t source_offset,
               std::size_t width, std::uint8_t* pick) {
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t from = table[output_offset + i];
        pick[i] = from >= source_offset && from < source_offset + 16
                      ? static_cast<std::uint8_t>(from - source_offset)
                      : std::uint8_t{0x80};
    }
}

// A block of n * n bytes is seen as 16-byte chunks; the last is pulled back to end with the
// block, overlapping the one before, so that nothing outside the block is read or written.
// Output chunk k is the OR of every source chunk s shuffled through control[k][s], which picks
// the bytes of s that chunk k needs and zeroes the rest. Bytes two source chunks share come out
// the same from either, so the overlap does no harm.
template <int n>
__attribute__((target("ssse3"))) void
decipher_blocks_ssse3(std::uint8_t* letters, std::size_t blocks, const std::uint8_t* table) {
    constexpr std::size_t size = block_letters(n);
    static_assert(size >= 16);
    constexpr std::size_t chunks = (size + 15) / 16;
    constexpr auto offset = [](std::size_t k) { return std::min(16 * k, size - 16); };

    __m128i control[chunks][chunks];
    for (std::size_t k = 0; k < chunks; ++k)
        for (std::size_t s = 0; s < chunks; ++s) {
            alignas(16) std::uint8_t pick[16];
            make_pick(table, offset(k), offset(s), 16, pick);
            control[k][s] = _mm_load_si128(reinterpret_cast<const __m128i*>(pick));
        }

    const __m128i case_bits = _mm_set1_epi8(static_cast<char>(case_bit));
    for (std::uint8_t* block = letters; block != letters + blocks * size; block += size) {
        __m128i in[chunks];
        for (std::size_t s = 0; s < chunks; ++s)
            in[s] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + offset(s)));
        __m128i out[chunks];
        for (std::size_t k = 0; k < chunks; ++k) {
            out[k] = case_bits;
            for (std::size_t s = 0; s < chunks; ++s)
                out[k] = _mm_or_si128(out[k], _mm_shuffle_epi8(in[s], control[k][s]));
        }
        for (std::size_t k = 0; k < chunks; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(block + offset(k)), out[k]);
    }
}

// The same with 32-byte output chunks: each 16-byte source chunk is copied to both halves of
// a 32-byte register, so that one in-lane shuffle serves two output chunks of 16 at once.
template <int n>
__attribute__((target("avx2"))) void decipher_blocks_avx2(std::uint8_t* letters, std::size_t blocks,
                                                          const std::uint8_t* table) {
    constexpr std::size_t size = block_letters(n);
    static_assert(size >= 32);
    constexpr std::size_t sources = (size + 15) / 16;
    constexpr std::size_t outputs = (size + 31) / 32;
    constexpr auto source_offset = [](std::size_t s) { return std::min(16 * s, size - 16); };
    constexpr auto output_offset = [](std::size_t k) { return std::min(32 * k, size - 32); };

    __m256i control[outputs][sources];
    for (std::size_t k = 0; k < outputs; ++k)
        for (std::size_t s = 0; s < sources; ++s) {
            alignas(32) std::uint8_t pick[32];
            make_pick(table, output_offset(k), source_offset(s), 32, pick);
            control[k][s] = _mm256_load_si256(reinterpret_cast<const __m256i*>(pick));
        }

    const __m256i case_bits = _mm256_set1_epi8(static_cast<char>(case_bit));
    for (std::uint8_t* block = letters; block != letters + blocks * size; block += size) {
        __m256i in[sources];
        for (std::size_t s = 0; s < sources; ++s)
            in[s] = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + source_offset(s))));
        __m256i out[outputs];
        for (std::size_t k = 0; k < outputs; ++k) {
            out[k] = case_bits;
            for (std::size_t s = 0; s < sources; ++s)
                out[k] = _mm256_or_si256(out[k], _mm256_shuffle_epi8(in[s], control[k][s]));
        }
        for (std::size_t k = 0; k < outputs; ++k)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + output_offset(k)), out[k]);
    }
}

} // namespace
#endif

void decipher_full_blocks(std::uint8_t* letters, std::size_t blocks, const std::uint8_t* table,
                          int n) {
#if DECIPHER_X86
    const simd_level level = simd_in_use();
    if (level == simd_level::avx2 && n >= 6) {
        switch (n) {
        case 6: return decipher_blocks_avx2<6>(letters, blocks, table);
        case 7: return decipher_blocks_avx2<7>(letters, blocks, table);
        case 8: return decipher_blocks_avx2<8>(letters, blocks, table);
        default: return decipher_blocks_avx2<9>(letters, blocks, table);
        }
    }
    if (level != simd_level::scalar && n >= 4) {
        switch (n) {
        case 4: return decipher_blocks_ssse3<4>(letters, blocks, table);
        case 5: return decipher_blocks_ssse3<5>(letters, blocks, table);
        case 6: return decipher_blocks_ssse3<6>(letters, blocks, table);
        case 7: return decipher_blocks_ssse3<7>(letters, blocks, table);
        case 8: return decipher_blocks_ssse3<8>(letters, blocks, table);
        default: return decipher_blocks_ssse3<9>(letters, blocks, table);
        }
    }
#endif
    decipher_full_blocks_scalar(letters, blocks, table, n); // blocks under 16 bytes, or no SIMD
}

void decipher_letters(const std::uint8_t* letters, std::size_t size, const std::int32_t* order,
                      int n, std::uint8_t* plain) {
    const std::size_t block_size = block_letters(n);
    const std::size_t full = size / block_size * block_size;
    std::array<std::uint8_t, max_block_size> table{};
    make_block_table(order, n, table.data());
    if (full > 0) // an empty text may come with no buffer at all
        std::memcpy(plain, letters, full);
    decipher_full_blocks(plain, full / block_size, table.data(), n);
    unscramble_block(letters + full, order, n, 0, static_cast<std::int64_t>(size - full),
                     plain + full);
}

void encipher_letters(const std::uint8_t* plain, std::size_t size, const std::int32_t* order, int n,
                      std::uint8_t* cipher) {
    const auto side = static_cast<std::size_t>(n);
    const std::size_t block_size = block_letters(n);
    const std::size_t full = size / block_size * block_size;
    // Full blocks: the block permutation run backwards, through the deciphering kernels.
    std::array<std::uint8_t, max_block_size> table{};
    std::array<std::uint8_t, max_block_size> inverse{};
    make_block_table(order, n, table.data());
    for (std::size_t q = 0; q < block_size; ++q)
        inverse[table[q]] = static_cast<std::uint8_t>(q);
    if (full > 0)
        std::memcpy(cipher, plain, full);
    decipher_full_blocks(cipher, full / block_size, inverse.data(), n);
    for (std::size_t i = 0; i < full; ++i)
        cipher[i] = static_cast<std::uint8_t>(cipher[i] & 0xDFU);
    // The short last block, column by column.
    std::uint8_t* out = cipher + full;
    for (std::size_t rank = 0; rank < side; ++rank)
        for (auto q = static_cast<std::size_t>(order[rank]); q < size - full; q += side)
            *out++ = static_cast<std::uint8_t>(plain[full + q] & 0xDFU);
}
