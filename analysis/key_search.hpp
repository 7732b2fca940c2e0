// Finding the key length and column order from the ciphertext alone.
//
// Every key length from 1 to max_key_length and every column order of it is weighed, and the
// best orders of the whole space are found exactly: an order's cost is the language model's cost
// of the plaintext it gives, and the search skips only orders that cannot beat the ones kept.
#pragma once

#include "cipher/key_order.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t max_candidates = 5;

// The letters the search reads at most: plenty to be sure of any key (bench/README.md).
inline constexpr std::size_t search_letters = 4096;

// Weight of the key space's size against the text, in bits per bit of log2(n!), tuned on
// held-out text by bench/crack_curve.
inline constexpr double key_space_weight = 1.0;

struct key_candidate {
    int n = 0;
    std::array<std::int32_t, max_key_length> order{}; // as fill_column_order gives it
    std::int64_t cost = 0;   // of the letters analysed, in 1/cost_steps_per_bit bits
    std::size_t letters = 0; // analysed for this n
    double bits_per_letter = 0;
    double rank = 0; // bits per letter with the key space's size weighed in: lower is better; the
                     // score crack lists
};

// How many of `size` letters are analysed for key length n: all of a complete text, whose last
// block may be short; of the start of a longer one, its whole blocks.
std::size_t analysed_letters(std::size_t size, bool complete, int n);

// The cost of one order, by deciphering outright: the plain reference the search is held to.
std::int64_t order_cost(const std::uint8_t* letters, std::size_t size, bool complete,
                        const std::int32_t* order, int n);

// The best orders for key length n, best first, at most max_candidates, each giving another
// plaintext; equal costs keep the order found first.
std::vector<key_candidate> best_orders(const std::uint8_t* letters, std::size_t size, bool complete,
                                       int n);

// The best candidates over every key length, best first by rank, at most max_candidates, each
// giving another plaintext. letters are the text's letters, the whole text when complete, else
// its start.
std::vector<key_candidate> find_keys(const std::uint8_t* letters, std::size_t size, bool complete);

// Whether the runner-up is so close to the best that the text may be too short to tell them
// apart: within close_margin_bits over the letters analysed. On held-out text every wrong
// answer was within 4 bits, and right ones mostly far beyond (bench/README.md).
inline constexpr double close_margin_bits = 10;
bool close_call(const key_candidate& best, const key_candidate& runner_up);

// Whether the best candidate reads as Russian. No key does when its rank reaches the limit, as
// when the file is in another character set or not this cipher: on held-out text of 100 letters
// or more Russian ranked at most 3.3, KOI8-R, UTF-8 and random letters at least 6.7, and the
// limit leans to the latter, as Russian unlike the model's sources may rank higher. Under
// judged_letters the two come within a bit of each other, and every text passes (bench/README.md).
inline constexpr double russian_score_limit = 5.5;
inline constexpr std::size_t judged_letters = 40;
bool reads_as_russian(const key_candidate& best);

// The key word that gives a candidate's order: at key position k the digit 1 + the rank of
// column k. Returns its length.
int candidate_key_word(const key_candidate& candidate, char* key);
