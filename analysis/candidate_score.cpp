#include "analysis/candidate_score.hpp"

#include "analysis/language_model.hpp"

#include <algorithm>
#include <cmath>

double weighed_grams(std::size_t letters) {
    return static_cast<double>(std::max<std::size_t>(letters, 4) - 3);
}

double key_space_bits(int n) {
    double bits = 0;
    for (int k = 2; k <= n; ++k)
        bits += std::log2(k);
    return bits;
}

double candidate_score(std::int64_t cost, std::size_t letters, int n, double weight) {
    const double bits = static_cast<double>(cost) / cost_steps_per_bit;
    return (bits + weight * key_space_bits(n)) / weighed_grams(letters);
}
