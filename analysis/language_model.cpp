#include "analysis/language_model.hpp"

#include <iterator>
#include <memory>

namespace {

// One printable character a cost, in the order make_model.py's DIGITS lists them, in rows of
// row_size: short strings, as compilers need not take long ones. The 4-gram costs, then the
// start's, then the end's.
constexpr const char* packed_rows[] = {
#include "analysis/russian_model.inc"
};
constexpr std::size_t row_size = 128;

constexpr std::size_t cells = gram_alphabet * gram_alphabet * gram_alphabet * gram_alphabet;
constexpr std::size_t edge_cells = gram_alphabet * gram_alphabet * gram_alphabet;
static_assert(std::size(packed_rows) * row_size == cells + 2 * edge_cells);

std::uint8_t packed_cost(std::size_t i) {
    return digit_value(packed_rows[i / row_size][i % row_size]);
}

const std::uint8_t* all_costs() {
    static const std::unique_ptr<std::uint8_t[]> costs = [] {
        constexpr std::size_t size = cells + 2 * edge_cells;
        auto table = std::make_unique<std::uint8_t[]>(size);
        for (std::size_t i = 0; i < size; ++i)
            table[i] = packed_cost(i);
        return table;
    }();
    return costs.get();
}

} // namespace

const std::uint8_t* gram_costs() {
    return all_costs();
}

const std::uint8_t* start_costs() {
    return all_costs() + cells;
}

const std::uint8_t* end_costs() {
    return all_costs() + cells + edge_cells;
}

std::size_t edge_index(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return (letter_code(a) * gram_alphabet + letter_code(b)) * gram_alphabet + letter_code(c);
}

namespace {

// The summed cost of letters[0, size), its start's and, when it ends there, its end's, the cost
// of cell i of the table being cost(i).
template <typename Cost>
std::int64_t summed_cost(const std::uint8_t* letters, std::size_t size, bool ends, Cost cost) {
    std::int64_t total = 0;
    std::uint32_t gram = 0;
    for (std::size_t i = 0; i < size; ++i) {
        gram = (gram << 5 | letter_code(letters[i])) & (cells - 1);
        if (i >= 3)
            total += cost(gram);
    }
    if (size >= 3) {
        total += cost(cells + edge_index(letters[0], letters[1], letters[2]));
        if (ends)
            total += cost(cells + edge_cells +
                          edge_index(letters[size - 3], letters[size - 2], letters[size - 1]));
    }
    return total;
}

} // namespace

std::int64_t text_cost(const std::uint8_t* letters, std::size_t size, bool ends) {
    const std::uint8_t* costs = all_costs();
    return summed_cost(letters, size, ends, [costs](std::size_t i) { return costs[i]; });
}

std::int64_t one_text_cost(const std::uint8_t* letters, std::size_t size, bool ends) {
    return summed_cost(letters, size, ends, packed_cost);
}
