// Whether a text reads as Russian: crack's best candidate, or a plaintext deciphered with a given
// key. The limits are measured on held-out text by bench/crack_curve (bench/README.md).
#pragma once

#include "analysis/key_search.hpp"
#include "cipher/text_stream.hpp"

#include <cstddef>
#include <cstdint>

enum class text_verdict { russian, not_russian, too_short_to_tell };

// crack's best candidate: Russian when its rank stays under candidate_score_limit; below
// candidate_sure_letters a text that does not is too short to tell, as the best of many orders
// of a short text fits another kind of text better, and a short excerpt of Russian varies more.
// On held-out literature Russian ranked at most 4.97 at 40 letters and 4.87 from 100 on, KOI8-R
// and random letters at least 6.64 and 6.84.
inline constexpr double candidate_score_limit = 5.5;
inline constexpr std::size_t candidate_sure_letters = 100;
text_verdict judge_candidate(const key_candidate& best);

// A plaintext of lowercase Windows-1251 letters deciphered with order, judged from its first
// plain_judged_most letters: Russian when its bits per 4-gram stay under plain_bits_limit; under
// plain_judged_letters it is too short to tell. On held-out literature of 100 letters the right
// key's plaintext had at most 4.32 bits a 4-gram, a wrong key's at least 5.97; the limit leans to
// the right key, whose text may be of a kind the model knows less well.
inline constexpr double plain_bits_limit = 5.25;
inline constexpr std::size_t plain_judged_letters = 100;
inline constexpr std::size_t plain_judged_most = summary_start_letters;
// A whole text of plain_short_letters up to plain_judged_letters is judged too, where a wrong
// key's text varies more and can read nearly as Russian, as a key one swap of two columns from the
// right one does: such a text is not Russian from short_bits_limit bits a 4-gram, or when swapping
// columns of its order, the best swap at a time, makes it cheaper by more than swaps_saving_limit
// bits. No swap made the right key's text of 40 to 99 letters of held-out literature cheaper, nor
// did its bits a 4-gram reach 5.7 (bench/README.md).
inline constexpr std::size_t plain_short_letters = 40;
inline constexpr double short_bits_limit = 6.0;
inline constexpr double swaps_saving_limit = 15;
text_verdict judge_plaintext(const std::uint8_t* letters, std::size_t size,
                             const std::int32_t* order, int n);

// The cost saved, in 1/cost_steps_per_bit bits, by swapping two columns of order at a time, the
// best swap each time while one saves any, on the whole text letters[0, size), deciphered with
// order. size is at most plain_judged_letters; 0 when no swap saves or n < 2.
std::int64_t swaps_saving(const std::uint8_t* letters, std::size_t size, const std::int32_t* order,
                          int n);
