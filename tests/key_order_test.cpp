#include "cipher/key_order.hpp"

#include "test_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<std::int32_t> order_of(const std::string& key) {
    std::vector<std::int32_t> order(key.size(), -1);
    fill_column_order(order.data(), static_cast<int>(key.size()), key.c_str());
    return order;
}

TEST(KeyOrder, Rules) {
    struct row {
        const char* name;
        std::string key;
        std::vector<std::int32_t> order;
    };
    const row rows[] = {
        {"ascending", "abcdefghi", {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"descending", "ihgfedcba", {8, 7, 6, 5, 4, 3, 2, 1, 0}},
        {"one character", "x", {0}},
        {"two equal, later first", "aba", {2, 0, 1}},
        {"three equal", "kkk", {2, 1, 0}},
        {"fourth before third", "abdc", {0, 1, 3, 2}},
        {"Cyrillic before Latin",
         "z\xC0"
         "a\xFF",
         {1, 3, 2, 0}},
        {"uppercase first", "\xE0\xC0\xE1\xC1", {1, 3, 0, 2}},
        {"0x80 before 0x7F", "\x7F\x80", {1, 0}},
        {"blank after high bytes, before digits", "1 \xC0", {2, 1, 0}},
        {"ties among mixed",
         "b\xC0"
         "b\xC0",
         {3, 1, 2, 0}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(order_of(r.key), r.order) << r.name;
}

TEST(KeyOrder, MatchesStableSortForRandomKeys) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> alphabet(0, 3); // few symbols, so ties are common
    for (int trial = 0; trial < 2000; ++trial) {
        const int n = 1 + trial % max_key_length;
        std::string key;
        for (int i = 0; i < n; ++i)
            key += static_cast<char>(trial % 2 == 0 ? byte(rng) : 0xC0 + alphabet(rng));
        ASSERT_EQ(order_of(key), reference_column_order(key)) << key;
    }
}

TEST(KeyOrder, LineEndsWithSpaceBeforeBreak) {
    const std::int32_t order[] = {0, 1, 3, 2};
    for (const int n : {4, 1, 0}) {
        std::FILE* f = std::tmpfile();
        print_column_order(f, order, n);
        const bytes expected = n == 4   ? "INDEX SORT COMPLEATE: 0 1 3 2 \n"_b
                               : n == 1 ? "INDEX SORT COMPLEATE: 0 \n"_b
                                        : "INDEX SORT COMPLEATE: \n"_b;
        EXPECT_EQ(file_content(f), expected);
        std::fclose(f);
    }
}

} // namespace
