#include "analysis/key_search.hpp"

#include "analysis/boundary_model.hpp"
#include "analysis/verdict.hpp"
#include "analysis/word_breaks.hpp"

#include "cipher/transposition.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

// The search against every order deciphered outright: the same best costs, each over another
// plaintext, for texts with and without full blocks and short blocks, whole or only begun; and
// over every length, each plaintext once and the verdict. With a crib, the best of the orders
// whose plaintext holds it; with a length and a count, only those.
TEST(KeySearch, MatchesEveryOrderWeighedOutright) {
    std::mt19937 rng(409113);
    for (const int n : {2, 5, 6, 7})
        for (const std::size_t length : {3U, 7U, 24U, 26U, 36U, 48U, 49U, 61U, 100U, 131U})
            for (const bool complete : {true, false}) {
                const bytes text = random_letters(rng, length);
                std::map<bytes, std::int64_t> plaintexts;
                std::vector<std::int32_t> order(static_cast<std::size_t>(n));
                std::iota(order.begin(), order.end(), 0);
                const std::size_t analysed = analysed_letters(length, complete, n);
                do {
                    bytes plain(analysed, 0);
                    decipher_letters(text.data(), analysed, order.data(), n, plain.data());
                    plaintexts[plain] = order_cost(text.data(), length, complete, order.data(), n);
                } while (std::next_permutation(order.begin(), order.end()));
                std::vector<std::int64_t> expected;
                expected.reserve(plaintexts.size());
                for (const auto& [plain, cost] : plaintexts)
                    expected.push_back(cost);
                std::sort(expected.begin(), expected.end());
                expected.resize(std::min(expected.size(), max_candidates));

                std::vector<std::int64_t> found;
                for (const auto& c : best_orders(text.data(), length, complete, n)) {
                    EXPECT_EQ(c.cost, order_cost(text.data(), length, complete, c.order.data(), n));
                    found.push_back(c.cost);
                }
                EXPECT_EQ(found, expected)
                    << "n " << n << " length " << length << " complete " << complete;

                // A crib from the middle of one plaintext, as capitals, as a user may type it.
                const bytes& some = std::next(plaintexts.begin(),
                                              static_cast<std::ptrdiff_t>(plaintexts.size() / 2))
                                        ->first;
                bytes typed = some.substr(some.size() / 3, 5);
                for (auto& b : typed)
                    b = static_cast<std::uint8_t>(b & 0xDFU);
                search_options options;
                options.cribs.push_back(crib_letters(typed.data(), typed.size()));
                options.top = 3;
                std::vector<std::int64_t> holding;
                for (const auto& [plain, cost] : plaintexts)
                    if (lowercase(plain).find(
                            bytes(options.cribs[0].begin(), options.cribs[0].end())) != bytes::npos)
                        holding.push_back(cost);
                std::sort(holding.begin(), holding.end());
                holding.resize(std::min(holding.size(), options.top));
                std::vector<std::int64_t> with_crib;
                for (const auto& c : best_orders(text.data(), length, complete, n, options))
                    with_crib.push_back(c.cost);
                EXPECT_EQ(with_crib, holding) << "crib: n " << n << " length " << length;
                options.lengths = {n};
                for (const auto& c : find_keys(text.data(), length, complete, options))
                    EXPECT_EQ(c.n, n);

                // Over every length each plaintext once; random letters judged not Russian once
                // there are enough of them.
                const auto listed = find_keys(text.data(), length, complete);
                std::vector<bytes> plains;
                for (const auto& c : listed) {
                    plains.emplace_back(c.letters, 0);
                    decipher_letters(text.data(), c.letters, c.order.data(), c.n,
                                     plains.back().data());
                    EXPECT_EQ(std::count(plains.begin(), plains.end(), plains.back()), 1) << length;
                }
                EXPECT_EQ(judge_candidate(listed[0]), listed[0].letters < candidate_sure_letters
                                                          ? text_verdict::too_short_to_tell
                                                          : text_verdict::not_russian)
                    << length;
            }
}

// A message costs less than its letters shifted by one, the wrong answer short texts gave.
TEST(KeySearch, WordsTellTheOrder) {
    const char* const rows[][2] = {
        {"\xED\xF3\xE2\xEE\xF2\xF1\xF2\xE5\xEF\xE5\xF0\xFC\xEF\xF0\xEE\xE4\xEE\xEB\xE6\xE0\xF2\xFC",
         "\xE2\xEE\xF2\xF1\xF2\xE5\xEF\xE5\xF0\xFC\xEF\xF0\xEE\xE4\xEE\xEB\xE6\xE0\xF2\xFC\xED"
         "\xF3"},
        {"\xE6\xE4\xE8\xEC\xE5\xED\xFF\xED\xE0\xE2\xEE\xEA\xE7\xE0\xEB\xE5",
         "\xE4\xE8\xEC\xE5\xED\xFF\xED\xE0\xE2\xEE\xEA\xE7\xE0\xEB\xE5\xE6"},
        {"\xEF\xF0\xE8\xE5\xE4\xF3\xE7\xE0\xE2\xF2\xF0\xE0\xF3\xF2\xF0\xEE\xEC",
         "\xEC\xEF\xF0\xE8\xE5\xE4\xF3\xE7\xE0\xE2\xF2\xF0\xE0\xF3\xF2\xF0\xEE"},
    };
    for (const auto& [right, shifted] : rows) {
        const auto cost = [](const char* text) {
            return boundary_cost(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
        };
        EXPECT_LT(cost(right), cost(shifted)) << right;
    }
    EXPECT_EQ(boundary_cost(nullptr, 0), 0);
}

// A message's word breaks put back in any case; the same message 250 times over, in pieces of
// any size, breaks each copy alike across the windows, laid out in lines of whole words.
TEST(WordBreaks, PutBackAcrossWindows) {
    const bytes words = "\xE7\xE0\xE2\xF2\xF0\xE0 \xF3\xF2\xF0\xEE\xEC \xEF\xF0\xE8\xE5\xE4\xF3 "
                        "\xEF\xEE\xE5\xE7\xE4\xEE\xEC \xE6\xE4\xE8 \xEC\xE5\xED\xFF \xED\xE0 "
                        "\xE2\xEE\xEA\xE7\xE0\xEB\xE5"_b;
    bytes letters;
    bytes capitals = words;
    for (auto& b : capitals)
        if (b != ' ') {
            b = static_cast<std::uint8_t>(b & 0xDFU);
            letters += b;
        }
    const auto whole = with_word_breaks(letters.data(), letters.size());
    EXPECT_EQ(bytes(whole.begin(), whole.end()), capitals);
    EXPECT_TRUE(with_word_breaks(nullptr, 0).empty());

    bytes text;
    bytes lines;
    std::size_t column = 0;
    for (int copy = 0; copy < 250; ++copy) {
        text += lowercase(letters);
        for (std::size_t at = 0, end = 0; at < words.size(); at = end + 1) {
            end = std::min(words.find(' ', at), words.size());
            const std::size_t size = end - at;
            if (column > 0)
                lines += column + 1 + size > word_break_line ? '\n' : ' ';
            column = column > 0 && column + 1 + size <= word_break_line ? column + 1 + size : size;
            lines += words.substr(at, size);
        }
    }
    lines += '\n';
    ASSERT_GT(text.size(), 2 * (word_break_window + word_break_lag));
    for (const std::size_t piece : {1U, 7U, 4352U, 10000U}) {
        word_breaker b;
        bytes got;
        for (std::size_t at = 0; at < text.size(); at += piece) {
            const std::size_t size = std::min(piece, text.size() - at);
            const auto& out = break_words(b, text.data() + at, size, at + size == text.size());
            got.append(out.begin(), out.end());
        }
        EXPECT_EQ(got, lines) << piece;
    }
}

// decipher's verdict on a whole short text by the key it was deciphered with: the right key's text
// reads as Russian; a near miss's (two columns swapped) and another length's do not.
TEST(KeySearch, JudgesAShortTextByItsKey) {
    const bytes zavtra = // завтра утром приеду поездом жди меня на вокзале: 40 letters
        "\xE7\xE0\xE2\xF2\xF0\xE0\xF3\xF2\xF0\xEE\xEC\xEF\xF0\xE8\xE5\xE4\xF3\xEF\xEE\xE5"
        "\xE7\xE4\xEE\xEC\xE6\xE4\xE8\xEC\xE5\xED\xFF\xED\xE0\xE2\xEE\xEA\xE7\xE0\xEB\xE5"_b;
    const bytes poezd = // мы поехали в город рано утром поезд шел медленно ...: 95 letters
        "\xEC\xFB\xEF\xEE\xE5\xF5\xE0\xEB\xE8\xE2\xE3\xEE\xF0\xEE\xE4\xF0\xE0\xED\xEE\xE2"
        "\xF3\xF2\xF0\xEE\xEC\xEF\xEE\xE5\xE7\xE4\xF8\xE5\xEB\xEC\xE5\xE4\xEB\xE5\xED\xED"
        "\xEE\xED\xE5\xF1\xEF\xE5\xF8\xE0\xE7\xE0\xEE\xEA\xED\xEE\xEC\xEF\xEB\xFB\xEB\xE8"
        "\xEF\xEE\xEB\xFF\xE8\xEB\xE5\xF1\xE0\xE0\xE4\xEE\xF0\xEE\xE3\xE0\xEA\xE0\xE7\xE0"
        "\xEB\xE0\xF1\xFC\xE1\xE5\xF1\xEA\xEE\xED\xE5\xF7\xED\xEE\xE9"_b;
    const std::vector<std::int32_t> right = {6, 3, 1, 2, 4, 0, 5};
    const struct {
        const bytes* text;
        std::vector<std::int32_t> key;
        text_verdict verdict;
    } rows[] = {
        {&zavtra, right, text_verdict::russian},
        {&zavtra, {6, 3, 1, 2, 0, 4, 5}, text_verdict::not_russian},
        {&poezd, right, text_verdict::russian},
        {&poezd, {6, 3, 1, 4, 2, 0, 5}, text_verdict::not_russian},
        {&poezd, {2, 0, 1}, text_verdict::not_russian},
    };
    for (const auto& r : rows) {
        const bytes cipher = encipher(*r.text, right);
        const int n = static_cast<int>(r.key.size());
        bytes plain(cipher.size(), 0);
        decipher_letters(cipher.data(), cipher.size(), r.key.data(), n, plain.data());
        EXPECT_EQ(judge_plaintext(plain.data(), plain.size(), r.key.data(), n), r.verdict)
            << r.text->size() << " letters, key of " << n;
    }
}

} // namespace
