#include "analysis/verdict.hpp"

#include "analysis/language_model.hpp"

#include <algorithm>

text_verdict judge_candidate(const key_candidate& best) {
    if (best.score < candidate_score_limit)
        return text_verdict::russian;
    return best.letters < candidate_sure_letters ? text_verdict::too_short_to_tell
                                                 : text_verdict::not_russian;
}

text_verdict judge_plaintext(const std::uint8_t* letters, std::size_t size) {
    if (size < plain_judged_letters)
        return text_verdict::too_short_to_tell;
    const std::size_t judged = std::min(size, plain_judged_most);
    const double bits = static_cast<double>(one_text_cost(letters, judged, judged == size)) /
                        cost_steps_per_bit / static_cast<double>(judged - 3);
    return bits < plain_bits_limit ? text_verdict::russian : text_verdict::not_russian;
}
