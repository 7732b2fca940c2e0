// A letter 4-gram model of Russian, over the 32 letters the tools keep (the lowercase forms;
// Ё and ё are not among them), with the edges of a text: it starts and ends at a word boundary.
// Built by make_model.py; see there for its sources.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t gram_alphabet = 32;
// Costs are -log2 of a probability in steps of a quarter bit.
inline constexpr int cost_steps_per_bit = 4;

// The value of one character of the packed tables: the printable characters but '"', '\\' and
// '?', in order (make_model.py's DIGITS).
constexpr std::uint8_t digit_value(char c) {
    const auto u = static_cast<unsigned char>(c);
    return static_cast<std::uint8_t>(u - 0x21U - (u > '"' ? 1U : 0U) - (u > '?' ? 1U : 0U) -
                                     (u > '\\' ? 1U : 0U));
}

// A letter's place in the model, whatever its case.
constexpr std::uint32_t letter_code(std::uint8_t letter) {
    return letter & 0x1FU;
}

// The cost of the letter d after a b c is gram_costs()[((a * 32 + b) * 32 + c) * 32 + d], the
// letters by letter_code.
const std::uint8_t* gram_costs();

// The cost of a text's first three letters a b c, as a word starts there, at (a * 32 + b) * 32 + c;
// and the cost of a word ending after the text's last three letters, at the same index.
const std::uint8_t* start_costs();
const std::uint8_t* end_costs();

std::size_t edge_index(std::uint8_t a, std::uint8_t b, std::uint8_t c);

// The summed cost of every 4-gram of letters[0, size), and of its start; of its end too when the
// text ends there.
std::int64_t text_cost(const std::uint8_t* letters, std::size_t size, bool ends);
// The same for one text, read from the packed table itself: no table is made, for a run that
// judges one text (decipher) and must start at once.
std::int64_t one_text_cost(const std::uint8_t* letters, std::size_t size, bool ends);
