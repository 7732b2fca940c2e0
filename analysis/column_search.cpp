#include "analysis/column_search.hpp"

#include "analysis/crib_fit.hpp"
#include "analysis/language_model.hpp"
#include "cipher/letter_reader.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

std::size_t index4(std::size_t a, std::size_t b, std::size_t c, std::size_t d) {
    return ((a * gram_alphabet + b) * gram_alphabet + c) * gram_alphabet + d;
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

} // namespace

void search_by_columns(kept_orders& kept) {
    order_search s{};
    s.kept = &kept;
    s.costs = gram_costs();
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
