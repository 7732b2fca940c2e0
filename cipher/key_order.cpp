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
    for (int column = 0; column < n; ++column) {
        int chosen = -1;
        for (int k = 0; k < n; ++k)
            if (!taken[static_cast<std::size_t>(k)] &&
                static_cast<signed char>(key_word[k]) == sorted[static_cast<std::size_t>(column)])
                chosen = k;
        // sorted is a permutation of the key, so a free match always exists.
        taken[static_cast<std::size_t>(chosen)] = true;
        order[column] = chosen;
    }
}

void print_column_order(std::FILE* console, const std::int32_t* order, int n) {
    std::fputs("INDEX SORT COMPLEATE: ", console);
    for (int column = 0; column < n; ++column)
        std::fprintf(console, "%d ", static_cast<int>(order[column]));
    std::fputc('\n', console);
    std::fflush(console);
}
