#include "cipher/key_order.hpp"

#include <algorithm>
#include <array>

void fill_column_order(std::int32_t* order, int n, const char* key_word) {
    std::array<signed char, max_key_length> sorted{};
    std::copy_n(key_word, n, sorted.begin());
    std::sort(sorted.begin(), sorted.begin() + n);

    // Each rank takes the last still-free position holding its character, which is what puts
    // equal characters in descending position order.
    std::array<bool, max_key_length> taken{};
    for (int rank = 0; rank < n; ++rank) {
        int chosen = -1;
        for (int k = 0; k < n; ++k)
            if (!taken[static_cast<std::size_t>(k)] &&
                static_cast<signed char>(key_word[k]) == sorted[static_cast<std::size_t>(rank)])
                chosen = k;
        // sorted is a permutation of the key, so a free match always exists.
        taken[static_cast<std::size_t>(chosen)] = true;
        order[rank] = chosen;
    }
}

void print_column_order(std::FILE* console, const std::int32_t* order, int n) {
    std::fputs("INDEX SORT COMPLEATE: ", console);
    for (int rank = 0; rank < n; ++rank)
        std::fprintf(console, "%d ", static_cast<int>(order[rank]));
    std::fputc('\n', console);
    std::fflush(console);
}

void order_key_columns(std::int32_t* order, int n, const char* key_word) {
    fill_column_order(order, n, key_word);
    print_column_order(stdout, order, n);
}
