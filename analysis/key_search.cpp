#include "analysis/key_search.hpp"

#include "analysis/boundary_model.hpp"
#include "analysis/candidate_score.hpp"
#include "analysis/column_search.hpp"
#include "analysis/kept_orders.hpp"
#include "analysis/language_model.hpp"
#include "cipher/alphabet.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

std::vector<std::uint8_t> plaintext(const std::uint8_t* letters, std::size_t size, bool complete,
                                    const std::int32_t* order, int n) {
    std::vector<std::uint8_t> plain(analysed_letters(size, complete, n));
    decipher_letters(letters, plain.size(), order, n, plain.data());
    return plain;
}

bool holds(const std::vector<std::uint8_t>& plain, const std::vector<std::uint8_t>& crib) {
    return crib.empty() || std::search(plain.begin(), plain.end(), crib.begin(), crib.end(),
                                       [](std::uint8_t a, std::uint8_t b) {
                                           return letter_code(a) == letter_code(b);
                                       }) != plain.end();
}

// What is weighed of letters[0, size): all of a complete text within search_letters, else the
// start of it.
std::pair<std::size_t, bool> weighed_part(std::size_t size, bool complete) {
    const bool whole = complete && size <= search_letters;
    return {whole ? size : std::min(size, search_letters), whole};
}

// Small lengths have at most 24 orders: each is deciphered and weighed outright.
void search_every_order(kept_orders& kept) {
    order_array order{};
    std::iota(order.begin(), order.begin() + kept.n, 0);
    do {
        const auto plain =
            plaintext(kept.letters, kept.crib_size, kept.crib_complete, order.data(), kept.n);
        if (std::all_of(kept.options->cribs.begin(), kept.options->cribs.end(),
                        [&](const auto& crib) { return holds(plain, crib); }))
            offer(kept, order.data(),
                  order_cost(kept.letters, kept.size, kept.complete, order.data(), kept.n));
    } while (std::next_permutation(order.begin(), order.begin() + kept.n));
}

void set_score(key_candidate& c) {
    c.bits_per_gram = static_cast<double>(c.cost) / cost_steps_per_bit / weighed_grams(c.letters);
    c.score = candidate_score(c.cost, c.letters, c.n, key_space_weight);
}

} // namespace

void offer(kept_orders& kept, const std::int32_t* order, std::int64_t cost) {
    if (cost >= bar(kept))
        return;
    // Equal costs are where another order may give the very same plaintext, as when columns
    // that hold no letter trade places.
    for (const key_candidate& other : kept.best)
        if (other.cost == cost &&
            plaintext(kept.letters, kept.size, kept.complete, order, kept.n) ==
                plaintext(kept.letters, kept.size, kept.complete, other.order.data(), kept.n))
            return;
    key_candidate candidate;
    candidate.n = kept.n;
    std::copy_n(order, kept.n, candidate.order.begin());
    candidate.cost = cost;
    candidate.letters = analysed_letters(kept.size, kept.complete, kept.n);
    const auto at =
        std::upper_bound(kept.best.begin(), kept.best.end(), cost,
                         [](std::int64_t c, const key_candidate& other) { return c < other.cost; });
    kept.best.insert(at, candidate);
    if (kept.best.size() > kept.options->top)
        kept.best.pop_back();
}

std::size_t analysed_letters(std::size_t size, bool complete, int n) {
    return complete ? size : size / block_letters(n) * block_letters(n);
}

std::int64_t order_cost(const std::uint8_t* letters, std::size_t size, bool complete,
                        const std::int32_t* order, int n) {
    const auto plain = plaintext(letters, size, complete, order, n);
    return text_cost(plain.data(), plain.size(), complete);
}

std::vector<std::uint8_t> crib_letters(const std::uint8_t* text, std::size_t size) {
    std::vector<std::uint8_t> letters;
    for (std::size_t i = 0; i < size; ++i)
        if (is_letter_byte(text[i]))
            letters.push_back(lowercase_letter(text[i]));
        else if (text[i] == upper_yo || text[i] == lower_yo)
            letters.push_back(lower_ye);
    return letters;
}

std::vector<key_candidate> best_orders(const std::uint8_t* letters, std::size_t size, bool complete,
                                       int n, const search_options& options) {
    const auto [weighed, whole] = weighed_part(size, complete);
    kept_orders kept{letters, weighed, whole, n, &options, {}, size, complete};
    if (n <= 4)
        search_every_order(kept);
    else
        search_by_columns(kept);
    return kept.best;
}

std::vector<key_candidate> find_keys(const std::uint8_t* letters, std::size_t size, bool complete,
                                     const search_options& options) {
    std::vector<int> lengths = options.lengths;
    if (lengths.empty())
        for (int n = 1; n <= max_key_length; ++n)
            lengths.push_back(n);
    const bool reweighed = complete && size <= reweighed_letters;
    const auto [weighed, whole] = weighed_part(size, complete);
    search_options wide = options;
    // A crib that another one holds, or the same once more, narrows nothing further.
    auto& cribs = wide.cribs;
    for (std::size_t i = 0; i < cribs.size();) {
        const auto holds_it = [&](std::size_t j) {
            return j != i &&
                   std::search(cribs[j].begin(), cribs[j].end(), cribs[i].begin(),
                               cribs[i].end()) != cribs[j].end() &&
                   (cribs[j].size() > cribs[i].size() || j < i);
        };
        bool redundant = false;
        for (std::size_t j = 0; j < cribs.size() && !redundant; ++j)
            redundant = holds_it(j);
        if (redundant)
            cribs.erase(cribs.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    if (reweighed)
        wide.top = std::max(options.top, reweighed_candidates);
    std::vector<key_candidate> all;
    for (const int n : lengths) {
        if (n < 1 || n > max_key_length || analysed_letters(weighed, whole, n) == 0)
            continue;
        for (key_candidate& c : best_orders(letters, size, complete, n, wide)) {
            set_score(c);
            all.push_back(c);
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const key_candidate& a, const key_candidate& b) {
        return a.score < b.score;
    });
    // On a short text orders of several lengths can give one plaintext: the first, the shorter
    // key, stands for it.
    std::vector<key_candidate> found;
    std::vector<std::vector<std::uint8_t>> seen;
    for (const key_candidate& c : all) {
        if (found.size() == wide.top)
            break;
        auto plain = plaintext(letters, weighed, whole, c.order.data(), c.n);
        if (std::find(seen.begin(), seen.end(), plain) != seen.end())
            continue;
        seen.push_back(std::move(plain));
        found.push_back(c);
    }
    if (reweighed) {
        // The mean of the two models' costs: the 4-gram's knows the edges, the other the words.
        for (std::size_t i = 0; i < found.size(); ++i) {
            key_candidate& c = found[i];
            c.cost = (c.cost + boundary_cost(seen[i].data(), seen[i].size())) / 2;
            set_score(c);
        }
        std::stable_sort(
            found.begin(), found.end(),
            [](const key_candidate& a, const key_candidate& b) { return a.score < b.score; });
        if (found.size() > options.top)
            found.resize(options.top);
    }
    return found;
}

bool close_call(const key_candidate& best, const key_candidate& runner_up) {
    const double grams = static_cast<double>(std::max<std::size_t>(best.letters, 4) - 3);
    return (runner_up.score - best.score) * grams < close_margin_bits;
}

int candidate_key_word(const key_candidate& candidate, char* key) {
    for (int rank = 0; rank < candidate.n; ++rank)
        key[candidate.order[static_cast<std::size_t>(rank)]] = static_cast<char>('1' + rank);
    key[candidate.n] = '\0';
    return candidate.n;
}
