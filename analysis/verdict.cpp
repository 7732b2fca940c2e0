#include "analysis/verdict.hpp"

#include "analysis/language_model.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <array>

text_verdict judge_candidate(const key_candidate& best) {
    if (best.score < candidate_score_limit)
        return text_verdict::russian;
    return best.letters < candidate_sure_letters ? text_verdict::too_short_to_tell
                                                 : text_verdict::not_russian;
}

std::int64_t swaps_saving(const std::uint8_t* letters, std::size_t size, const std::int32_t* order,
                          int n) {
    std::array<std::uint8_t, plain_judged_letters> cipher{};
    std::array<std::uint8_t, plain_judged_letters> other{};
    encipher_letters(letters, size, order, n, cipher.data());
    std::array<std::int32_t, max_key_length> key{};
    std::copy(order, order + n, key.begin());
    const std::int64_t own = one_text_cost(letters, size, true);
    std::int64_t now = own;
    // Each step lowers the cost, so the climb ends.
    for (;;) {
        std::int64_t best = now;
        int best_a = 0;
        int best_b = 0;
        for (int a = 0; a < n; ++a)
            for (int b = a + 1; b < n; ++b) {
                std::swap(key[static_cast<std::size_t>(a)], key[static_cast<std::size_t>(b)]);
                decipher_letters(cipher.data(), size, key.data(), n, other.data());
                const std::int64_t cost = one_text_cost(other.data(), size, true);
                std::swap(key[static_cast<std::size_t>(a)], key[static_cast<std::size_t>(b)]);
                if (cost < best) {
                    best = cost;
                    best_a = a;
                    best_b = b;
                }
            }
        if (best == now)
            return own - now;
        now = best;
        std::swap(key[static_cast<std::size_t>(best_a)], key[static_cast<std::size_t>(best_b)]);
    }
}

text_verdict judge_plaintext(const std::uint8_t* letters, std::size_t size,
                             const std::int32_t* order, int n) {
    if (size < plain_short_letters)
        return text_verdict::too_short_to_tell;
    const std::size_t judged = std::min(size, plain_judged_most);
    const double bits = static_cast<double>(one_text_cost(letters, judged, judged == size)) /
                        cost_steps_per_bit / static_cast<double>(judged - 3);
    if (size >= plain_judged_letters)
        return bits < plain_bits_limit ? text_verdict::russian : text_verdict::not_russian;
    const bool swaps_read_better = static_cast<double>(swaps_saving(letters, size, order, n)) >
                                   swaps_saving_limit * cost_steps_per_bit;
    return bits < short_bits_limit && !swaps_read_better ? text_verdict::russian
                                                         : text_verdict::not_russian;
}
