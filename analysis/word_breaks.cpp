#include "analysis/word_breaks.hpp"

#include "analysis/language_model.hpp"

#include <algorithm>
#include <limits>

namespace {

// One state of the pass after a letter: what the model saw last, the least cost of reaching
// it, and the state before it on that way.
struct step_state {
    boundary_state last;
    bool blank; // the last symbol was a blank
    std::int64_t cost;
    std::size_t from;
};

void keep(std::vector<step_state>& states, std::size_t first, const step_state& s) {
    for (std::size_t i = first; i < states.size(); ++i)
        if (states[i].last == s.last && states[i].blank == s.blank) {
            if (s.cost < states[i].cost)
                states[i] = s;
            return;
        }
    states.push_back(s);
}

// A word, or a piece of one too long to hold, onto the current line.
void lay(word_breaker& b, bool whole) {
    if (b.word.empty())
        return;
    if (!b.joined && b.column > 0) {
        const bool wrap = b.line > 0 && b.column + 1 + b.word.size() > b.line;
        b.text.push_back(wrap ? '\n' : ' ');
        b.column = wrap ? 0 : b.column + 1;
    }
    b.text.insert(b.text.end(), b.word.begin(), b.word.end());
    b.column += b.word.size();
    b.word.clear();
    b.joined = !whole;
}

// Decides the breaks after the first `count` pending letters, on the likeliest way through all
// of them; at the text's end (last) the way ends a word.
void decide(word_breaker& b, std::size_t count, bool last) {
    const std::size_t size = b.pending.size();
    std::vector<step_state> states{{b.settled, false, 0, 0}};
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < size; ++i) {
        const auto letter = static_cast<std::uint8_t>(letter_code(b.pending[i]));
        const std::size_t before = starts.back();
        const std::size_t first = states.size();
        starts.push_back(first);
        for (std::size_t j = before; j < first; ++j) {
            step_state in_word{states[j].last, false, states[j].cost, j};
            in_word.cost += boundary_step(in_word.last, letter);
            keep(states, first, in_word);
            step_state blank = in_word;
            blank.blank = true;
            blank.cost += boundary_step(blank.last, boundary_blank);
            keep(states, first, blank);
        }
    }
    if (size == 0)
        return;
    std::size_t best = starts.back();
    std::int64_t best_cost = std::numeric_limits<std::int64_t>::max();
    for (std::size_t j = starts.back(); j < states.size(); ++j) {
        const step_state& s = states[j];
        boundary_state end = s.last;
        const std::int64_t cost =
            s.cost + (last && !s.blank ? boundary_step(end, boundary_blank) : 0);
        if (cost < best_cost) {
            best_cost = cost;
            best = j;
        }
    }
    // Back along the way, to the state after each letter.
    std::vector<std::size_t> way(size);
    for (std::size_t i = size; i-- > 0;) {
        way[i] = best;
        best = states[best].from;
    }
    for (std::size_t i = 0; i < count; ++i) {
        b.word.push_back(b.pending[i]);
        if (states[way[i]].blank)
            lay(b, true);
        else if (b.word.size() == word_break_window)
            lay(b, false);
    }
    if (count > 0)
        b.settled = states[way[count - 1]].last;
    b.pending.erase(b.pending.begin(), b.pending.begin() + static_cast<std::ptrdiff_t>(count));
}

const std::vector<std::uint8_t>& pass_to(void* state, const std::uint8_t* letters, std::size_t size,
                                         bool last) {
    return break_words(*static_cast<word_breaker*>(state), letters, size, last);
}

} // namespace

const std::vector<std::uint8_t>& break_words(word_breaker& b, const std::uint8_t* letters,
                                             std::size_t size, bool last) {
    b.text.clear();
    for (std::size_t i = 0; i < size;) {
        const std::size_t take =
            std::min(size - i, word_break_window + word_break_lag - b.pending.size());
        b.pending.insert(b.pending.end(), letters + i, letters + i + take);
        i += take;
        if (b.pending.size() == word_break_window + word_break_lag)
            decide(b, word_break_window, false);
    }
    if (last) {
        const bool any = b.column > 0 || !b.word.empty() || !b.pending.empty();
        decide(b, b.pending.size(), true);
        lay(b, true);
        if (any && b.line > 0)
            b.text.push_back('\n');
    }
    return b.text;
}

std::vector<std::uint8_t> with_word_breaks(const std::uint8_t* letters, std::size_t size) {
    word_breaker b;
    b.line = 0;
    return break_words(b, letters, size, true);
}

plaintext_filter word_break_filter(word_breaker& b) {
    return {&b, pass_to};
}
