// A letter 4-gram model of Russian, over the 32 letters the tools keep (the lowercase forms;
// Ё and ё are not among them). Built by make_model.py; see there for its sources.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t gram_alphabet = 32;
// Costs are -log2 of a probability in steps of a quarter bit.
inline constexpr int cost_steps_per_bit = 4;

// A letter's place in the model, whatever its case.
constexpr std::uint32_t letter_code(std::uint8_t letter) {
    return letter & 0x1FU;
}

// The cost of the letter d after a b c is gram_costs()[((a * 32 + b) * 32 + c) * 32 + d], the
// letters by letter_code.
const std::uint8_t* gram_costs();

// The summed cost of every 4-gram of letters[0, size).
std::int64_t text_cost(const std::uint8_t* letters, std::size_t size);
