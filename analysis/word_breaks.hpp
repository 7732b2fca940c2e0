// Where the words of a text of letters alone likeliest part, by the word-boundary model: a
// Viterbi pass over the model's states, a window at a time, so that a text of any length takes
// the same memory. A window's last word_break_lag letters are decided with the next, as what
// follows them may move their breaks.
#pragma once

#include "analysis/boundary_model.hpp"
#include "cipher/text_stream.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t word_break_window = 4096;
inline constexpr std::size_t word_break_lag = 256;
// Lines of the text out end at the last blank within this many letters and blanks.
inline constexpr std::size_t word_break_line = 72;

struct word_breaker {
    boundary_state settled;             // the model's state before pending: after a blank at first
    std::vector<std::uint8_t> pending;  // letters taken, their breaks not yet decided
    std::vector<std::uint8_t> word;     // the word being written: decided, not yet laid on a line
    std::size_t line = word_break_line; // 0: one line, no line break at the end
    std::size_t column = 0;             // letters and blanks on the current line
    bool joined = false;                // what comes next goes on the word last written
    std::vector<std::uint8_t> text;     // what the last call gave
};

// Takes letters[0, size), Windows-1251 in any case, and returns the text decided so far: its
// words parted by a blank, or by a line break where a line would grow past b.line; with last,
// all of the rest, ended by a line break when there are lines (nothing for a text with no
// letters).
const std::vector<std::uint8_t>& break_words(word_breaker& b, const std::uint8_t* letters,
                                             std::size_t size, bool last);

// The same for a whole text: its words parted by single blanks, no line breaks.
std::vector<std::uint8_t> with_word_breaks(const std::uint8_t* letters, std::size_t size);

// A filter for decipher_stream that breaks its plaintext into words with b.
plaintext_filter word_break_filter(word_breaker& b);
