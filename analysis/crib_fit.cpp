#include "analysis/crib_fit.hpp"

#include "analysis/language_model.hpp"
#include "cipher/transposition.hpp"

#include <bit>
#include <cassert>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

using crib_state = crib_fit::start_state;

std::size_t match_index(const crib_fit& f, std::size_t c0, std::size_t column, std::size_t k) {
    return (c0 * f.side + column) * f.side + k;
}

crib_fit::one_crib make_one(const crib_fit& f, const std::vector<std::uint8_t>& crib) {
    const std::size_t n = f.side;
    const std::size_t rows = f.full / n;
    crib_fit::one_crib c;
    for (const std::uint8_t letter : crib)
        c.codes.push_back(static_cast<std::uint8_t>(letter_code(letter)));
    const std::size_t m = c.codes.size();
    // The rows a crib starting in a row reaches, that row's included.
    const std::size_t span = (n + m - 2) / n + 1;
    std::unordered_set<std::string_view> kinds;
    std::vector<std::string> signatures(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        std::string& signature = signatures[r];
        for (std::size_t k = 0; k < n; ++k)
            for (std::size_t j = r; j < r + span && j < rows; ++j)
                signature += static_cast<char>(f.segments[k * rows + j]);
        if (kinds.insert(signature).second)
            c.rows.push_back(static_cast<std::uint32_t>(r));
    }
    c.words = (c.rows.size() + 63) / 64;
    c.match.assign(n * n * n * c.words, 0);
    c.match_any.assign(n * n * n, false);
    c.valid_any.assign(n, false);
    c.covers.assign(n, 0);
    c.states.resize(n * n);
    c.lists.resize(n * n);
    for (std::size_t c0 = 0; c0 < n; ++c0) {
        // Rows where the crib ends within the full blocks.
        const std::size_t valid = f.full >= c0 + m ? (f.full - c0 - m) / n + 1 : 0;
        c.valid_any[c0] = valid > 0;
        for (std::size_t i = 0; i < m && i < n; ++i)
            c.covers[c0] |= 1U << ((c0 + i) % n);
        for (std::size_t column = 0; column < n; ++column) {
            if ((c.covers[c0] >> column & 1U) == 0)
                continue;
            const std::size_t first = (column + n - c0) % n; // the crib's first letter there
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t at = match_index(f, c0, column, k);
                std::uint64_t* bits = c.match.data() + at * c.words;
                const std::uint8_t* segment = f.segments.data() + k * rows;
                // A row's first of its kind is valid if any of its kind is.
                for (std::size_t b = 0; b < c.rows.size() && c.rows[b] < valid; ++b) {
                    const std::size_t r = c.rows[b];
                    bool agrees = true;
                    for (std::size_t i = first; agrees && i < m; i += n)
                        agrees = segment[r + (c0 + i) / n] == c.codes[i];
                    if (agrees) {
                        bits[b / 64] |= std::uint64_t{1} << (b % 64);
                        c.match_any[at] = true;
                    }
                }
            }
        }
    }
    return c;
}

bool state_holds(const crib_fit::one_crib& c, const crib_state& st, std::size_t c0, std::size_t n) {
    if (st.open)
        return c.valid_any[c0];
    if (st.list_depth < 0)
        return st.rows_any;
    return !c.lists[static_cast<std::size_t>(st.list_depth) * n + c0].empty();
}

// The crib's places that reach into the short block, letter by letter; a letter whose column
// has no rank yet, or whose place in the short block is not known yet, may be anything.
bool fits_near_end(const crib_fit& f, const crib_fit::one_crib& c, const std::size_t* rank,
                   std::size_t d, std::optional<std::uint32_t> long_ranks) {
    const std::size_t n = f.side;
    const std::size_t m = c.codes.size();
    if (f.size == f.full)
        return false;
    if (!long_ranks && d + 1 >= f.long_columns) {
        long_ranks = 0;
        for (std::size_t column = 0; column < f.long_columns; ++column)
            *long_ranks |= 1U << rank[column];
    }
    const std::size_t rows = f.full / n;
    auto letter = [&](std::size_t q) -> int {
        if (q < f.full)
            return q % n > d ? -1 : f.segments[rank[q % n] * rows + q / n];
        const std::size_t t = q - f.full;
        const std::size_t column = t % n;
        if (column > d || !long_ranks)
            return -1;
        const std::size_t r = rank[column];
        const auto before = static_cast<std::size_t>(std::popcount(*long_ranks & ((1U << r) - 1U)));
        return f.tail[r * f.tail_rows + before + t / n];
    };
    for (std::size_t p = f.full + 1 > m ? f.full + 1 - m : 0; p + m <= f.size; ++p) {
        bool fits = true;
        for (std::size_t i = 0; fits && i < m; ++i) {
            const int known = letter(p + i);
            fits = known < 0 || known == c.codes[i];
        }
        if (fits)
            return true;
    }
    return false;
}

} // namespace

crib_fit make_crib_fit(const std::uint8_t* letters, std::size_t size, bool complete, int n,
                       const std::vector<std::vector<std::uint8_t>>& cribs) {
    assert(n >= 1);
    const auto side = static_cast<std::size_t>(n);
    crib_fit f;
    f.side = side;
    const std::size_t block = block_letters(n);
    f.size = complete ? size : size / block * block;
    f.full = f.size / block * block;
    const std::size_t rows = f.full / side;
    f.segments.resize(side * rows);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t k = 0; k < side; ++k)
            f.segments[k * rows + r] = static_cast<std::uint8_t>(
                letter_code(letters[r / side * block + k * side + r % side]));
    for (std::size_t i = f.full; i < f.size; ++i)
        f.tail.push_back(static_cast<std::uint8_t>(letter_code(letters[i])));
    f.tail_rows = f.tail.size() / side;
    f.long_columns = f.tail.size() % side;
    for (const auto& crib : cribs)
        f.cribs.push_back(make_one(f, crib));
    return f;
}

bool cribs_fit(crib_fit& f, const std::size_t* rank, std::size_t d,
               std::optional<std::uint32_t> long_ranks) {
    const std::size_t n = f.side;
    for (crib_fit::one_crib& c : f.cribs) {
        if (c.codes.size() > f.size)
            return false;
        bool fits = false;
        for (std::size_t c0 = 0; c0 < n; ++c0) {
            crib_state st = d == 0 ? crib_state{} : c.states[(d - 1) * n + c0];
            if ((c.covers[c0] >> d & 1U) != 0) {
                const std::size_t at = match_index(f, c0, d, rank[d]);
                const std::uint64_t* rows = c.match.data() + at * c.words;
                if (st.open) {
                    st.open = false;
                    st.rows = rows;
                    st.rows_any = c.match_any[at];
                } else {
                    auto& list = c.lists[d * n + c0];
                    list.clear();
                    if (st.list_depth < 0) {
                        for (std::size_t w = 0; w < c.words; ++w)
                            if (const std::uint64_t both = st.rows[w] & rows[w])
                                list.emplace_back(static_cast<std::uint32_t>(w), both);
                    } else {
                        for (const auto& [w, bits] :
                             c.lists[static_cast<std::size_t>(st.list_depth) * n + c0])
                            if (const std::uint64_t both = bits & rows[w])
                                list.emplace_back(w, both);
                    }
                    st.rows = nullptr;
                    st.list_depth = static_cast<int>(d);
                }
            }
            c.states[d * n + c0] = st;
            fits = fits || state_holds(c, st, c0, n);
        }
        if (!fits && !fits_near_end(f, c, rank, d, long_ranks))
            return false;
    }
    return true;
}
