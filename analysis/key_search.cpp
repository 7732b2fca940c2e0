#include "analysis/key_search.hpp"

#include "analysis/boundary_model.hpp"
#include "analysis/candidate_score.hpp"
#include "analysis/crib_fit.hpp"
#include "analysis/language_model.hpp"
#include "cipher/alphabet.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>

namespace {

using order_array = std::array<std::int32_t, max_key_length>;

std::size_t index4(std::size_t a, std::size_t b, std::size_t c, std::size_t d) {
    return ((a * gram_alphabet + b) * gram_alphabet + c) * gram_alphabet + d;
}

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

// The orders kept for one key length, best first. size and complete are what is weighed,
// crib_size and crib_complete where the cribs are looked for.
struct kept_orders {
    const std::uint8_t* letters;
    std::size_t size;
    bool complete;
    int n;
    const search_options* options;
    std::vector<key_candidate> best;
    std::size_t crib_size;
    bool crib_complete;
};

// What is weighed of letters[0, size): all of a complete text within search_letters, else the
// start of it.
std::pair<std::size_t, bool> weighed_part(std::size_t size, bool complete) {
    const bool whole = complete && size <= search_letters;
    return {whole ? size : std::min(size, search_letters), whole};
}

// The cost an order must stay under to be kept.
std::int64_t bar(const kept_orders& kept) {
    return kept.best.size() < kept.options->top ? std::numeric_limits<std::int64_t>::max()
                                                : kept.best.back().cost;
}

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

// The search for n >= 5. Columns are given ranks one by one, left to right; rank[c] is the
// ciphertext segment that column c reads. A 4-gram's cost is added as soon as the ranks of all
// its columns are known, so a partial cost only grows, and a branch whose partial cost already
// reaches the bar is left.
//
// In the full blocks a 4-gram sees four neighbouring columns, so its cost summed over every row
// is tabulated once for each four segments: within a row, or running over into the next row by
// one, two or three letters. In the short last block a column's start follows from its rank and
// from which ranks the long columns (the first tail % n) have; those ranks are chosen first, as a
// set, so that every column's letters are known as soon as it has a rank and its 4-grams count
// from the fourth column on.
struct order_search {
    kept_orders* kept;
    const std::uint8_t* costs;
    int n;
    std::size_t side;
    std::size_t size;                                    // letters analysed
    std::size_t full;                                    // of them in full blocks
    std::array<std::vector<std::int32_t>, 4> tables;     // empty without a full block
    std::array<std::uint8_t, max_key_length> last_row{}; // by segment: the last full row
    std::vector<std::uint8_t> tail;                      // codes of the short block's letters
    std::size_t rows = 0;                                // full rows of the short block
    std::size_t long_columns = 0;
    std::uint32_t long_ranks = 0; // the ranks the long columns take, a bit each
    std::array<std::size_t, max_key_length> rank{};
    std::array<std::size_t, max_key_length> start{}; // of each column in the short block
    std::array<bool, max_key_length> taken{};
    std::optional<crib_fit> cribs;
};

std::size_t table_index(const order_search& s, std::size_t a, std::size_t b, std::size_t c,
                        std::size_t d) {
    return ((a * s.side + b) * s.side + c) * s.side + d;
}

void tabulate_full_blocks(order_search& s, const std::uint8_t* letters, std::size_t blocks) {
    const std::size_t n = s.side;
    const std::size_t all_rows = blocks * n;
    // segment[k * all_rows + r]: segment k's letter in row r of the run of full blocks.
    std::vector<std::uint8_t> segment(n * all_rows);
    for (std::size_t r = 0; r < all_rows; ++r)
        for (std::size_t k = 0; k < n; ++k)
            segment[k * all_rows + r] =
                static_cast<std::uint8_t>(letter_code(letters[r / n * n * n + k * n + r % n]));
    for (std::size_t k = 0; k < n; ++k)
        s.last_row[k] = segment[k * all_rows + all_rows - 1];

    std::vector<std::int32_t> sums(n);
    for (std::size_t over = 0; over < 4; ++over) { // letters that run over into the next row
        auto& table = s.tables[over];
        table.assign(n * n * n * n, 0);
        const std::size_t end = over == 0 ? all_rows : all_rows - 1;
        // The rows each of the four letters is read from, as offsets into segment.
        const std::size_t shift_b = over >= 3 ? 1 : 0;
        const std::size_t shift_c = over >= 2 ? 1 : 0;
        const std::size_t shift_d = over >= 1 ? 1 : 0;
        for (std::size_t a = 0; a < n; ++a)
            for (std::size_t b = 0; b < n; ++b)
                for (std::size_t c = 0; c < n; ++c) {
                    if (a == b || a == c || b == c)
                        continue;
                    std::fill(sums.begin(), sums.end(), 0);
                    const std::uint8_t* sa = &segment[a * all_rows];
                    const std::uint8_t* sb = &segment[b * all_rows + shift_b];
                    const std::uint8_t* sc = &segment[c * all_rows + shift_c];
                    for (std::size_t r = 0; r < end; ++r) {
                        // Every d after a b c lies in one 32-byte stretch of the table.
                        const std::uint8_t* line = s.costs + index4(sa[r], sb[r], sc[r], 0);
                        for (std::size_t d = 0; d < n; ++d)
                            sums[d] += line[segment[d * all_rows + shift_d + r]];
                    }
                    for (std::size_t d = 0; d < n; ++d)
                        table[((a * n + b) * n + c) * n + d] = sums[d];
                }
    }
}

std::size_t place_in_tail(const order_search& s, std::size_t column) {
    const std::size_t r = s.rank[column];
    // Long columns of lower rank, each a letter longer.
    const auto before = static_cast<std::size_t>(std::popcount(s.long_ranks & ((1U << r) - 1U)));
    return r * s.rows + before;
}

// The letter at position p of the short block; p < 0 reaches back into the last full row.
std::uint32_t tail_letter(const order_search& s, std::ptrdiff_t p) {
    if (p < 0)
        return s.last_row[s.rank[s.side - static_cast<std::size_t>(-p)]];
    const auto q = static_cast<std::size_t>(p);
    return s.tail[s.start[q % s.side] + q / s.side];
}

// The short block's 4-grams whose columns all have ranks now that column d has one.
std::int64_t tail_step(order_search& s, std::size_t d) {
    const std::size_t n = s.side;
    s.start[d] = place_in_tail(s, d);
    std::int64_t sum = 0;
    if (d >= 3) {
        const std::size_t end = d;
        const std::size_t present = end < s.long_columns ? s.rows + 1 : s.rows;
        for (std::size_t j = 0; j < present; ++j)
            sum += s.costs[index4(s.tail[s.start[end - 3] + j], s.tail[s.start[end - 2] + j],
                                  s.tail[s.start[end - 1] + j], s.tail[s.start[end] + j])];
    }
    if (d + 1 == n) { // 4-grams that run over a row's end, into the block or from the last one
        const auto size = static_cast<std::ptrdiff_t>(s.tail.size());
        const auto side = static_cast<std::ptrdiff_t>(n);
        // The last three letters of each row, from the last full row's on.
        for (std::ptrdiff_t row_end = s.tables[0].empty() ? side : 0; row_end < size;
             row_end += side)
            for (std::ptrdiff_t p = row_end - 3; p < row_end && p + 3 < size; ++p)
                sum += s.costs[index4(tail_letter(s, p), tail_letter(s, p + 1),
                                      tail_letter(s, p + 2), tail_letter(s, p + 3))];
    }
    return sum;
}

std::int64_t step(order_search& s, std::size_t d) {
    std::int64_t sum = 0;
    const auto& r = s.rank;
    if (!s.tables[0].empty()) {
        if (d >= 3)
            sum += s.tables[0][table_index(s, r[d - 3], r[d - 2], r[d - 1], r[d])];
        if (d + 1 == s.side) {
            const std::size_t n = s.side;
            sum += s.tables[1][table_index(s, r[n - 3], r[n - 2], r[n - 1], r[0])] +
                   s.tables[2][table_index(s, r[n - 2], r[n - 1], r[0], r[1])] +
                   s.tables[3][table_index(s, r[n - 1], r[0], r[1], r[2])];
        }
    }
    if (!s.tail.empty())
        sum += tail_step(s, d);
    return sum;
}

// The code of the plaintext's letter at p once columns 0..d have ranks, or -1 while it is not
// known: a short block's letters are placed only once its long columns have ranks.
int known_letter(const order_search& s, std::size_t p, std::size_t d) {
    const std::size_t n = s.side;
    if (p < s.full) {
        const std::size_t q = p % (n * n);
        if (q % n > d)
            return -1;
        return static_cast<int>(letter_code(s.kept->letters[p - q + s.rank[q % n] * n + q / n]));
    }
    const std::size_t t = p - s.full;
    if (t % n > d)
        return -1;
    return s.tail[s.start[t % n] + t / n];
}

// The cost of the plaintext's edges, once every column has its rank.
std::int64_t edge_cost(const order_search& s) {
    if (s.size < 3)
        return 0;
    const std::size_t d = s.side - 1;
    auto at = [&](std::size_t p) { return static_cast<std::uint8_t>(known_letter(s, p, d)); };
    std::int64_t sum = start_costs()[edge_index(at(0), at(1), at(2))];
    if (s.kept->complete)
        sum += end_costs()[edge_index(at(s.size - 3), at(s.size - 2), at(s.size - 1))];
    return sum;
}

void descend(order_search& s, std::size_t d, std::int64_t partial) {
    const bool long_column = d < s.long_columns;
    for (std::size_t k = 0; k < s.side; ++k) {
        if (s.taken[k] || ((s.long_ranks >> k & 1U) != 0) != long_column)
            continue;
        s.rank[d] = k;
        std::int64_t cost = partial + step(s, d);
        if (cost >= bar(*s.kept))
            continue;
        if (d + 1 == s.side) {
            cost += edge_cost(s);
            if (cost >= bar(*s.kept))
                continue;
        }
        // The short block's long columns are known from the start when it is weighed too.
        if (s.cribs &&
            !cribs_fit(*s.cribs, s.rank.data(), d,
                       s.tail.empty() ? std::nullopt : std::optional<std::uint32_t>(s.long_ranks)))
            continue;
        if (d + 1 == s.side) {
            order_array order{};
            for (std::size_t c = 0; c < s.side; ++c)
                order[s.rank[c]] = static_cast<std::int32_t>(c);
            offer(*s.kept, order.data(), cost);
            continue;
        }
        s.taken[k] = true;
        descend(s, d + 1, cost);
        s.taken[k] = false;
    }
}

void search_by_columns(kept_orders& kept) {
    order_search s{};
    s.kept = &kept;
    s.costs = gram_costs();
    s.n = kept.n;
    s.side = static_cast<std::size_t>(kept.n);
    const std::size_t size = analysed_letters(kept.size, kept.complete, kept.n);
    const std::size_t blocks = size / block_letters(kept.n);
    s.size = size;
    s.full = blocks * block_letters(kept.n);
    if (blocks > 0)
        tabulate_full_blocks(s, kept.letters, blocks);
    for (std::size_t i = blocks * block_letters(kept.n); i < size; ++i)
        s.tail.push_back(static_cast<std::uint8_t>(letter_code(kept.letters[i])));
    s.rows = s.tail.size() / s.side;
    s.long_columns = s.tail.size() % s.side;
    if (!kept.options->cribs.empty())
        s.cribs = make_crib_fit(kept.letters, kept.crib_size, kept.crib_complete, kept.n,
                                kept.options->cribs);
    for (std::uint32_t ranks = 0; ranks < 1U << s.side; ++ranks)
        if (static_cast<std::size_t>(std::popcount(ranks)) == s.long_columns) {
            s.long_ranks = ranks;
            descend(s, 0, 0);
        }
}

void set_score(key_candidate& c) {
    c.bits_per_gram = static_cast<double>(c.cost) / cost_steps_per_bit / weighed_grams(c.letters);
    c.score = candidate_score(c.cost, c.letters, c.n, key_space_weight);
}

} // namespace

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
