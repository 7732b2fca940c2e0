// A model of Russian that knows where words end: a 6-gram over the letters and the blank between
// words, which a text of letters alone leaves out; its cost sums over the likeliest places for
// them. Built by make_model.py from the sources russian_model.inc names. It tells the right order
// of a short text from one that scrambles its words, where the 4-gram model sees little.
#pragma once

#include <cstddef>
#include <cstdint>

// The cost of letters[0, size), in 1/cost_steps_per_bit bits: the text starts a word, and may
// stop inside one, as a message cut short does.
std::int64_t boundary_cost(const std::uint8_t* letters, std::size_t size);
