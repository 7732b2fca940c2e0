#include "analysis/boundary_model.hpp"

#include "analysis/language_model.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <limits>
#include <vector>

namespace {

// Rows of 128 digits, as arrays rather than pointers, which would each need relocating at start.
#include "analysis/boundary_model.inc"

constexpr std::uint8_t blank = 32;
constexpr std::size_t order = std::size(boundary_level_nodes);
constexpr std::size_t row_size = 128;
static_assert(sizeof boundary_rows[0] == row_size + 1);

// The trie, decoded: level k holds the (k+1)-grams kept, sorted, each by its last symbol, with
// its children, in the next level, at [first_child[i], first_child[i + 1]).
struct trie_level {
    std::vector<std::uint8_t> symbol;
    std::vector<std::uint8_t> cost;
    std::vector<std::uint8_t> backoff;
    std::vector<std::uint32_t> first_child;
};

std::array<trie_level, order> decode() {
    std::array<trie_level, order> levels;
    std::size_t at = 0;
    const auto next = [&at] {
        const char c = boundary_rows[at / row_size][at % row_size];
        ++at;
        return digit_value(c);
    };
    for (std::size_t k = 0; k < order; ++k) {
        trie_level& level = levels[k];
        const std::size_t nodes = boundary_level_nodes[k];
        level.symbol.resize(nodes);
        level.cost.resize(nodes);
        if (k + 1 < order) {
            level.backoff.resize(nodes);
            level.first_child.resize(nodes + 1);
        }
        std::uint32_t children = 0;
        for (std::size_t i = 0; i < nodes; ++i) {
            level.symbol[i] = next();
            level.cost[i] = next();
            if (k + 1 < order) {
                level.backoff[i] = next();
                level.first_child[i] = children;
                children += next();
            }
        }
        if (k + 1 < order)
            level.first_child[nodes] = children;
    }
    return levels;
}

const std::array<trie_level, order>& trie() {
    static const std::array<trie_level, order> levels = decode();
    return levels;
}

constexpr std::size_t absent = std::numeric_limits<std::size_t>::max();

// The child of node `parent` of level k that ends in symbol, or absent.
std::size_t child(const std::array<trie_level, order>& t, std::size_t k, std::size_t parent,
                  std::uint8_t symbol) {
    const trie_level& up = t[k];
    const trie_level& down = t[k + 1];
    const auto begin = down.symbol.begin() + static_cast<std::ptrdiff_t>(up.first_child[parent]);
    const auto end = down.symbol.begin() + static_cast<std::ptrdiff_t>(up.first_child[parent + 1]);
    const auto found = std::lower_bound(begin, end, symbol);
    return found != end && *found == symbol ? static_cast<std::size_t>(found - down.symbol.begin())
                                            : absent;
}

// The node of gram[0, size), at level size - 1, or absent.
std::size_t find(const std::array<trie_level, order>& t, const std::uint8_t* gram,
                 std::size_t size) {
    std::size_t node = gram[0];
    for (std::size_t k = 1; k < size && node != absent; ++k)
        node = child(t, k - 1, node, gram[k]);
    return node;
}

// What came last: at most order - 1 symbols, oldest first.
struct context {
    std::array<std::uint8_t, order - 1> symbols{};
    std::size_t size = 0;
    bool operator==(const context&) const = default;
};

context then(context c, std::uint8_t symbol) {
    if (c.size == c.symbols.size()) {
        std::copy(c.symbols.begin() + 1, c.symbols.end(), c.symbols.begin());
        --c.size;
    }
    c.symbols[c.size++] = symbol;
    return c;
}

// The cost of symbol after c: from the longest gram kept, backing off from each context kept.
std::int64_t symbol_cost(const std::array<trie_level, order>& t, const context& c,
                         std::uint8_t symbol) {
    std::int64_t cost = 0;
    for (std::size_t from = 0; from <= c.size; ++from) {
        const std::size_t k = c.size - from; // the context's length
        if (k == 0)
            return cost + t[0].cost[symbol];
        const std::size_t node = find(t, c.symbols.data() + from, k);
        if (node == absent)
            continue;
        const std::size_t gram = child(t, k - 1, node, symbol);
        if (gram != absent)
            return cost + t[k].cost[gram];
        cost += t[k - 1].backoff[node];
    }
    return cost;
}

struct state {
    context last;
    std::int64_t cost;
};

void keep(std::vector<state>& states, const state& s) {
    for (state& other : states)
        if (other.last == s.last) {
            other.cost = std::min(other.cost, s.cost);
            return;
        }
    states.push_back(s);
}

// For each node below level 0, the node of the longest run it ends in, shorter than its own, packed
// as level << 24 | node: what a state backs off to. Being shorter, it is always a context.
using suffix_links = std::array<std::vector<std::uint32_t>, order>;
constexpr std::uint32_t level_shift = 24;
constexpr std::uint32_t node_mask = (1U << level_shift) - 1;
static_assert(std::size(boundary_level_nodes) <= 256 &&
              boundary_level_nodes[order - 1] <= node_mask);

std::uint32_t packed(std::size_t level, std::size_t node) {
    return static_cast<std::uint32_t>(level << level_shift | node);
}

// Level by level, as Aho and Corasick link their failure states: a node's run less its first
// symbol ends in its parent's link, extended by its own symbol when that is a node.
suffix_links link_all(const std::array<trie_level, order>& t) {
    suffix_links links;
    for (std::size_t k = 1; k < order; ++k) {
        links[k].resize(t[k].symbol.size());
        for (std::size_t parent = 0; parent + 1 < t[k - 1].first_child.size(); ++parent)
            for (std::size_t i = t[k - 1].first_child[parent]; i < t[k - 1].first_child[parent + 1];
                 ++i) {
                const std::uint8_t symbol = t[k].symbol[i];
                std::uint32_t link = packed(0, symbol);
                for (std::uint32_t q = k > 1 ? links[k - 1][parent] : link; k > 1;) {
                    const std::size_t level = q >> level_shift;
                    const std::size_t node = q & node_mask;
                    if (const std::size_t found = child(t, level, node, symbol); found != absent) {
                        link = packed(level + 1, found);
                        break;
                    }
                    if (level == 0)
                        break;
                    q = links[level][node];
                }
                links[k][i] = link;
            }
    }
    return links;
}

const suffix_links& links() {
    static const suffix_links all = link_all(trie());
    return all;
}

} // namespace

std::int64_t boundary_step(boundary_state& s, std::uint8_t symbol) {
    const auto& t = trie();
    const auto& up = links();
    std::int64_t cost = 0;
    for (std::size_t k = s.level, node = s.node;;) {
        const std::size_t found = child(t, k, node, symbol);
        if (found != absent) {
            std::uint32_t next = packed(k + 1, found);
            if (k + 1 == order - 1)
                next = up[k + 1][found];
            s = {next >> level_shift, next & node_mask};
            return cost + t[k + 1].cost[found];
        }
        cost += t[k].backoff[node];
        if (k == 0) {
            s = {0, symbol};
            return cost + t[0].cost[symbol];
        }
        const std::uint32_t back = up[k][node];
        k = back >> level_shift;
        node = back & node_mask;
    }
}

std::int64_t boundary_cost(const std::uint8_t* letters, std::size_t size) {
    const auto& t = trie();
    std::vector<state> states{{then({}, blank), 0}};
    std::vector<state> next;
    for (std::size_t i = 0; i < size; ++i) {
        const auto letter = static_cast<std::uint8_t>(letter_code(letters[i]));
        next.clear();
        for (const state& s : states) {
            const state in_word{then(s.last, letter), s.cost + symbol_cost(t, s.last, letter)};
            keep(next, in_word);
            keep(next,
                 {then(in_word.last, blank), in_word.cost + symbol_cost(t, in_word.last, blank)});
        }
        states.swap(next);
    }
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (const state& s : states)
        best = std::min(best, s.cost);
    return best;
}
