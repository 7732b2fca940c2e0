// The orders one key length's search keeps, and the bar a new one must beat: what the search of
// every order outright (key_search.cpp) and the search column by column (column_search.cpp)
// share.
#pragma once

#include "analysis/key_search.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

using order_array = std::array<std::int32_t, max_key_length>;

// The orders kept for one key length, best first. size and complete are what is weighed,
// crib_size and crib_complete where the cribs are looked for.
struct kept_orders {
    const std::uint8_t* letters;
    std::size_t size;
    bool complete;
    int n;
    const search_options* options;
    std::vector<key_candidate> best;
    std::size_t crib_size;
    bool crib_complete;
};

// The cost an order must stay under to be kept.
inline std::int64_t bar(const kept_orders& kept) {
    return kept.best.size() < kept.options->top ? std::numeric_limits<std::int64_t>::max()
                                                : kept.best.back().cost;
}

// Keeps order when its cost is under the bar, unless one kept at that cost gives the same
// plaintext; the worst kept beyond options->top goes.
void offer(kept_orders& kept, const std::int32_t* order, std::int64_t cost);
