// Whether a text reads as Russian: crack's best candidate, or a plaintext deciphered with a given
// key. The limits are measured on held-out text by bench/crack_curve (bench/README.md).
#pragma once

#include "analysis/key_search.hpp"

#include <cstddef>
#include <cstdint>

enum class text_verdict { russian, not_russian, too_short_to_tell };

// crack's best candidate: Russian when its rank stays under candidate_score_limit; below
// candidate_sure_letters a text that does not is too short to tell, as the best of many orders
// of a short text may fit the model no better than a text of another kind.
inline constexpr double candidate_score_limit = 5.5;
inline constexpr std::size_t candidate_sure_letters = 100;
text_verdict judge_candidate(const key_candidate& best);

// A plaintext of lowercase Windows-1251 letters, judged from its first plain_judged_most letters:
// Russian when its bits per letter stay under plain_bits_limit; under plain_judged_letters it is
// too short to tell.
inline constexpr double plain_bits_limit = 5.0;
inline constexpr std::size_t plain_judged_letters = 100;
inline constexpr std::size_t plain_judged_most = 1000;
text_verdict judge_plaintext(const std::uint8_t* letters, std::size_t size);
