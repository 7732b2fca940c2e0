#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"

#include "simd_levels.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <initializer_list>

namespace {

bytes unscramble(const bytes& block, const std::vector<std::int32_t>& order, std::int64_t done,
                 std::int64_t total) {
    bytes plain(max_block_size, 0);
    plain.resize(unscramble_block(block.data(), order.data(), static_cast<int>(order.size()), done,
                                  total, plain.data()));
    return plain;
}

TEST(Transposition, BlockShapes) {
    struct row {
        const char* name;
        std::vector<std::int32_t> order;
        std::int64_t done, total;
        bytes cipher, plain;
    };
    const row rows[] = {
        {"full, order 0 1 2",
         {0, 1, 2},
         0,
         9,
         "\xC0\xC3\xC6\xC1\xC4\xC7\xC2\xC5\xC8"_b,
         "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8"_b},
        {"n = 1", {0}, 5, 9, "\xDF"_b, "\xFF"_b},
        {"lowercase stays a letter", {0}, 0, 1, "\xE0"_b, "\xE0"_b},
        // n = 4, L = 10: columns 0 and 1 hold three letters, columns 3 and 2 two.
        {"short, 4 x 4 with 10",
         {0, 1, 3, 2},
         16,
         26,
         "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9"_b,
         "\xE0\xE3\xE8\xE6\xE1\xE4\xE9\xE7\xE2\xE5"_b},
        {"shorter than a row", {3, 1, 0, 2}, 0, 3, "\xC0\xC1\xC2"_b, "\xE1\xE0\xE2"_b},
        {"short after full blocks", {2, 0, 1}, 9, 11, "\xC0\xC1"_b, "\xE0\xE1"_b},
        {"nothing left", {1, 0}, 8, 8, ""_b, ""_b},
    };
    for (const auto& r : rows)
        EXPECT_EQ(unscramble(r.cipher, r.order, r.done, r.total), r.plain) << r.name;
}

TEST(Transposition, FastPathsMatchGeneralForEveryN) {
    std::mt19937 rng(99);
    for_each_simd_level([&](simd_level level) {
        for (int n = 1; n <= max_key_length; ++n) {
            const auto order = random_order(rng, n);
            const auto size = block_letters(n);
            bytes letters = random_letters(rng, size * 5);
            bytes expected;
            for (std::size_t b = 0; b < 5; ++b)
                expected += unscramble(letters.substr(b * size, size), order,
                                       static_cast<std::int64_t>(b * size), 1 << 20);
            std::uint8_t table[max_block_size];
            make_block_table(order.data(), n, table);
            bytes scalar = letters;
            decipher_full_blocks_scalar(scalar.data(), 5, table, n);
            EXPECT_EQ(scalar, expected) << "n " << n;
            decipher_full_blocks(letters.data(), 5, table, n);
            EXPECT_EQ(letters, expected) << "n " << n << " level " << static_cast<int>(level);
        }
    });
}

} // namespace
