#include "analysis/language_model.hpp"

#include <array>
#include <iterator>
#include <memory>

namespace {

// One printable character a cost, in the order make_model.py's DIGITS lists them, in rows of
// row_size: short strings, as compilers need not take long ones.
constexpr const char* packed_rows[] = {
#include "analysis/russian_4grams.inc"
};
constexpr std::size_t row_size = 128;

constexpr std::size_t cells = gram_alphabet * gram_alphabet * gram_alphabet * gram_alphabet;
static_assert(std::size(packed_rows) * row_size == cells);

constexpr auto digit_values = [] {
    std::array<std::uint8_t, 128> values{};
    std::uint8_t value = 0;
    for (int c = 0x21; c < 0x7F; ++c)
        if (c != '"' && c != '\\' && c != '?')
            values[static_cast<std::size_t>(c)] = value++;
    return values;
}();

} // namespace

const std::uint8_t* gram_costs() {
    static const std::unique_ptr<std::uint8_t[]> costs = [] {
        auto table = std::make_unique<std::uint8_t[]>(cells);
        for (std::size_t i = 0; i < cells; ++i)
            table[i] =
                digit_values[static_cast<std::size_t>(packed_rows[i / row_size][i % row_size]) &
                             0x7FU];
        return table;
    }();
    return costs.get();
}

std::int64_t text_cost(const std::uint8_t* letters, std::size_t size) {
    const std::uint8_t* costs = gram_costs();
    std::int64_t total = 0;
    std::uint32_t gram = 0;
    for (std::size_t i = 0; i < size; ++i) {
        gram = (gram << 5 | letter_code(letters[i])) & (cells - 1);
        if (i >= 3)
            total += costs[gram];
    }
    return total;
}
