// How a candidate order is ranked: the bits of its plaintext per 4-gram, with the size of its
// key length's key space weighed in, so that lengths analysing different numbers of letters
// compare. crack ranks by it and bench/crack_curve tunes the weight with it.
#pragma once

#include <cstddef>
#include <cstdint>

// The 4-grams weighed in `letters` letters: a shorter text still counts one.
double weighed_grams(std::size_t letters);

// log2(n!): the bits it takes to name one order of n columns.
double key_space_bits(int n);

// The score of a plaintext of `letters` letters costing `cost` (in 1/cost_steps_per_bit bits)
// from an order of n columns, the key space weighed by weight: lower is better.
double candidate_score(std::int64_t cost, std::size_t letters, int n, double weight);
