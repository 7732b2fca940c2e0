// A model of Russian that knows where words end: a 6-gram over the letters and the blank between
// words, which a text of letters alone leaves out; its cost sums over the likeliest places for
// them. Built by make_model.py from the sources russian_model.inc names. It tells the right order
// of a short text from one that scrambles its words, where the 4-gram model sees little.
#pragma once

#include <cstddef>
#include <cstdint>

// The symbols: the letters by letter_code, and the blank.
inline constexpr std::uint8_t boundary_blank = 32;

// What the model knows of what came last: the longest run of its last symbols it keeps as a
// context, as a node of its trie. Two texts in the same state cost the same from then on.
struct boundary_state {
    std::uint32_t level = 0; // the run's length less one
    std::uint32_t node = boundary_blank;
    bool operator==(const boundary_state&) const = default;
};

// The cost of symbol in state s, in 1/cost_steps_per_bit bits, as boundary_cost counts it; s
// becomes the state after it. The first call takes a moment: it links every context to the
// longest it ends in.
std::int64_t boundary_step(boundary_state& s, std::uint8_t symbol);

// The cost of letters[0, size), in 1/cost_steps_per_bit bits: the text starts a word, and may
// stop inside one, as a message cut short does.
std::int64_t boundary_cost(const std::uint8_t* letters, std::size_t size);
