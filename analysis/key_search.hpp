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

// What narrows a search. lengths: the key lengths tried, all of 1..max_key_length when empty;
// top: how many candidates are kept; cribs: words the plaintext holds, as lowercase Windows-1251
// letters (crib_letters), each of which a candidate's plaintext must hold.
struct search_options {
    std::vector<int> lengths;
    std::size_t top = max_candidates;
    std::vector<std::vector<std::uint8_t>> cribs;
};

// A crib as the search takes it: the Windows-1251 letters of text[0, size), lowercase, Ё and ё
// as е, as encipher writes them; the rest is left out, as the cipher leaves it out.
std::vector<std::uint8_t> crib_letters(const std::uint8_t* text, std::size_t size);

// The letters the search weighs at most: plenty to be sure of any key (bench/README.md).
inline constexpr std::size_t search_letters = 4096;

// The letters a crib is looked for in at most, when the text is longer than search_letters:
// the whole of any message, and within what crack holds in its buffer.
inline constexpr std::size_t crib_search_letters = std::size_t{1} << 17;

// Weight of the key space's size against the text, in bits per bit of log2(n!), tuned on
// held-out text by bench/crack_curve.
inline constexpr double key_space_weight = 1.0;

// A complete text of at most reweighed_letters is weighed again, its best reweighed_candidates
// by the mean of the 4-gram model's cost and the word-boundary model's (boundary_model.hpp),
// which on held-out messages of 30 to 60 letters turned most wrong answers right; a longer text
// has the 4-gram model's alone, right there already (bench/README.md).
inline constexpr std::size_t reweighed_letters = 200;
inline constexpr std::size_t reweighed_candidates = 20;

struct key_candidate {
    int n = 0;
    std::array<std::int32_t, max_key_length> order{}; // as fill_column_order gives it
    std::int64_t cost = 0;    // of the letters analysed, in 1/cost_steps_per_bit bits
    std::size_t letters = 0;  // analysed for this n
    double bits_per_gram = 0; // the cost over the 4-grams weighed
    // bits per 4-gram with the key space's size weighed in: lower is better; what crack lists
    double score = 0;
};

// How many of `size` letters are analysed for key length n: all of a complete text, whose last
// block may be short; of the start of a longer one, its whole blocks.
std::size_t analysed_letters(std::size_t size, bool complete, int n);

// The cost of one order, by deciphering outright: the plain reference the search is held to. The
// text's end is weighed when it is complete.
std::int64_t order_cost(const std::uint8_t* letters, std::size_t size, bool complete,
                        const std::int32_t* order, int n);

// The best orders for key length n, best first, at most options.top, each giving another
// plaintext that holds every crib; equal costs keep the order found first. The cribs are looked
// for in all of letters[0, size); the first search_letters of them are weighed.
std::vector<key_candidate> best_orders(const std::uint8_t* letters, std::size_t size, bool complete,
                                       int n, const search_options& options = {});

// The best candidates over the key lengths asked, best first by score, at most options.top, each
// giving another plaintext that holds every crib; none when no order does. letters are the
// text's letters, the whole text when complete, else its start; as best_orders, the cribs are
// looked for in all of them.
std::vector<key_candidate> find_keys(const std::uint8_t* letters, std::size_t size, bool complete,
                                     const search_options& options = {});

// Whether the runner-up is so close to the best that the text may be too short to tell them
// apart: within close_margin_bits over the letters analysed. On held-out text every wrong
// answer was within 4 bits, and right ones mostly far beyond (bench/README.md).
inline constexpr double close_margin_bits = 10;
bool close_call(const key_candidate& best, const key_candidate& runner_up);

// The key word that gives a candidate's order: at key position k the digit 1 + the rank of
// column k. Returns its length.
int candidate_key_word(const key_candidate& candidate, char* key);
