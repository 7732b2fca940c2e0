// How often the search gives back the exact plaintext, on excerpts of held-out text: each
// excerpt enciphered under a random order of a length from 2 to 9, sprinkled with non-letters
// and read back through the letter stream, as crack reads Crypt.txt.
//
//   crack_curve TEXT [TRIALS [tune | verdict | sentences | judge | short]]
//
// TEXT holds a document a line, Windows-1251 lowercase letters (analysis/make_model.py
// --excerpts writes test.txt and tune.txt). TRIALS excerpts per length, default 400. With
// "tune", the success rate for each weight of the key space's size instead, and the margins
// between the best and the runner-up, for choosing the weight and the warning's threshold.
// With "verdict", how the best candidate scores on excerpts and on text that is not Russian
// read as Windows-1251, for choosing where crack says the text does not read as Russian.
// With "sentences", messages that start at a sentence (a capital in TEXT, as make_model.py
// writes them), cut at lengths from 20 to 200, key lengths 3 to 9, with and without a crib of six
// of the message's letters: exact recovery, crack's verdicts and the search's time. With
// "judge", the verdicts and their scores on Russian, on KOI8-R and on random letters, and the
// plaintext verdict on the right key and on a wrong one. With "short", decipher's verdict on whole
// messages of 40 to 99 letters with the right key, random keys and near misses.
#include "analysis/candidate_score.hpp"
#include "analysis/key_search.hpp"
#include "analysis/language_model.hpp"
#include "analysis/verdict.hpp"
#include "cipher/transposition.hpp"
#include "tests/test_text.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace {

std::vector<bytes> documents(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<bytes> docs;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            docs.emplace_back(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    return docs;
}

// A random stretch of `length` letters of one document, as capitals.
bytes excerpt(std::mt19937& rng, const std::vector<bytes>& docs, std::size_t length) {
    for (;;) {
        const bytes& doc =
            docs[std::uniform_int_distribution<std::size_t>(0, docs.size() - 1)(rng)];
        if (doc.size() < length)
            continue;
        const auto at = std::uniform_int_distribution<std::size_t>(0, doc.size() - length)(rng);
        bytes text = doc.substr(at, length);
        for (auto& b : text)
            b = static_cast<std::uint8_t>(b & 0xDFU);
        return text;
    }
}

// The letters crack would analyse from the ciphertext file, and whether that is all of them.
bytes read_back(const bytes& file, bool& complete) {
    std::FILE* f = file_with(file);
    bytes letters(search_letters + 1, 0);
    letter_reader reader = make_letter_reader(f);
    letters.resize(read_letters(reader, letters.data(), letters.size()));
    std::fclose(f);
    complete = letters.size() <= search_letters;
    letters.resize(std::min(letters.size(), search_letters));
    return letters;
}

// Whether the candidate gives the plaintext of the letters it was chosen on.
bool recovers(const key_candidate& c, const bytes& cipher, const bytes& plain) {
    bytes got(c.letters, 0);
    decipher_letters(cipher.data(), c.letters, c.order.data(), c.n, got.data());
    return got == lowercase(plain.substr(0, c.letters));
}

struct trial {
    int n;
    std::vector<std::vector<key_candidate>> by_length; // best orders of each length 1..9
    std::vector<std::vector<bool>> right;
};

// The best candidate and the runner-up under weight w.
std::pair<const key_candidate*, double> pick(const trial& t, double w, bool& right) {
    const key_candidate* best = &t.by_length[0][0]; // n = 1 has its one order
    double best_rank = 1e300;
    double second = 1e300;
    for (std::size_t k = 0; k < t.by_length.size(); ++k)
        for (std::size_t i = 0; i < t.by_length[k].size(); ++i) {
            const key_candidate& c = t.by_length[k][i];
            const double rank = candidate_score(c.cost, c.letters, c.n, w);
            if (rank < best_rank) {
                second = best_rank;
                best_rank = rank;
                best = &c;
                right = t.right[k][i];
            } else if (rank < second) {
                second = rank;
            }
        }
    return {best, (second - best_rank) * weighed_grams(best->letters)};
}

trial run_trial(std::mt19937& rng, const std::vector<bytes>& docs, std::size_t length, int n) {
    const bytes plain = excerpt(rng, docs, length);
    const auto order = random_order(rng, n);
    bool complete = false;
    const bytes letters = read_back(sprinkle(rng, encipher(plain, order)), complete);
    trial t{n, {}, {}};
    for (int k = 1; k <= max_key_length; ++k) {
        t.by_length.push_back(best_orders(letters.data(), letters.size(), complete, k));
        t.right.emplace_back();
        for (const auto& c : t.by_length.back())
            t.right.back().push_back(recovers(c, letters, plain));
    }
    return t;
}

void timing(std::mt19937& rng, const std::vector<bytes>& docs) {
    for (const int n : {5, 7, 9}) {
        std::vector<double> ms;
        ms.reserve(9);
        for (int run = 0; run < 9; ++run) {
            const bytes plain = excerpt(rng, docs, 10000);
            const auto order = random_order(rng, n);
            const auto start = std::chrono::steady_clock::now();
            bool complete = false;
            const bytes letters = read_back(sprinkle(rng, encipher(plain, order)), complete);
            const auto found = find_keys(letters.data(), letters.size(), complete);
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            if (!recovers(found[0], letters, plain))
                std::printf("timing run missed\n");
        }
        std::sort(ms.begin(), ms.end());
        std::printf("10,000 letters, n = %d: search median %.1f ms (min %.1f, max %.1f)\n", n,
                    ms[4], ms[0], ms[8]);
    }
}

// What crack makes of a text when it does not read as Russian, or when it does.
enum class kind { russian, koi8r, utf8, random };
constexpr const char* kind_names[] = {"Russian", "KOI8-R", "UTF-8", "random"};

bytes text_of(std::mt19937& rng, const std::vector<bytes>& docs, std::size_t length, kind k) {
    if (k == kind::random)
        return random_letters(rng, length);
    bytes text = excerpt(rng, docs, length);
    if (k == kind::koi8r)
        return koi8r(lowercase(text));
    if (k == kind::utf8) // a letter's first byte, 0xD0 or 0xD1, is all that reads as a letter
        for (auto& b : text)
            b = (b | 0x20U) < 0xF0U ? 0xD0U : 0xD1U;
    return text;
}

// The best candidate's score and bits per 4-gram over TRIALS texts of each kind and length, each
// enciphered under a random order of a length from 1 to 9: the least, the median and the most.
void verdict_figures(std::mt19937& rng, const std::vector<bytes>& docs, int trials) {
    for (const std::size_t length :
         {20U, 30U, 40U, 60U, 100U, 150U, 200U, 400U, 1000U, 4000U, 10000U}) {
        std::printf("%5zu letters", length);
        for (std::size_t k = 0; k < std::size(kind_names); ++k) {
            std::vector<double> scores;
            std::vector<double> bits;
            for (int i = 0; i < trials; ++i) {
                const bytes text = text_of(rng, docs, length, static_cast<kind>(k));
                bool complete = false;
                const bytes letters = read_back(
                    sprinkle(rng, encipher(text, random_order(rng, 1 + i % 9))), complete);
                const key_candidate best = find_keys(letters.data(), letters.size(), complete)[0];
                scores.push_back(best.score);
                bits.push_back(best.bits_per_gram);
            }
            std::sort(scores.begin(), scores.end());
            std::sort(bits.begin(), bits.end());
            const std::size_t mid = scores.size() / 2;
            std::printf("  %s %.2f %.2f %.2f (bits %.2f %.2f %.2f)", kind_names[k], scores.front(),
                        scores[mid], scores.back(), bits.front(), bits[mid], bits.back());
        }
        std::printf("\n");
    }
}

// Where sentences start: the capitals.
std::vector<std::pair<std::size_t, std::size_t>> sentence_starts(const std::vector<bytes>& docs) {
    std::vector<std::pair<std::size_t, std::size_t>> starts;
    for (std::size_t d = 0; d < docs.size(); ++d)
        for (std::size_t i = 0; i + 200 <= docs[d].size(); ++i)
            if (docs[d][i] < 0xE0U)
                starts.emplace_back(d, i);
    return starts;
}

double elapsed_ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

void sentence_curve(std::mt19937& rng, const std::vector<bytes>& docs, int trials) {
    const auto starts = sentence_starts(docs);
    std::printf("%zu sentence starts\n", starts.size());
    for (const bool with_crib : {false, true})
        for (const std::size_t length : {20U, 25U, 30U, 40U, 50U, 60U, 80U, 100U, 150U, 200U}) {
            if (!with_crib && length < 30)
                continue;
            int hits = 0;
            int verdicts[3] = {0, 0, 0};
            std::vector<double> ms;
            std::map<int, std::pair<int, int>> by_n;
            for (int i = 0; i < trials; ++i) {
                const auto [d, at] =
                    starts[std::uniform_int_distribution<std::size_t>(0, starts.size() - 1)(rng)];
                bytes plain = docs[d].substr(at, length);
                for (auto& b : plain)
                    b = static_cast<std::uint8_t>(b & 0xDFU);
                const int n = 3 + i % 7;
                bool complete = false;
                const bytes letters =
                    read_back(sprinkle(rng, encipher(plain, random_order(rng, n))), complete);
                search_options options;
                if (with_crib) {
                    const auto from =
                        std::uniform_int_distribution<std::size_t>(0, length - 6)(rng);
                    const bytes crib = plain.substr(from, 6);
                    options.cribs.push_back(crib_letters(crib.data(), crib.size()));
                }
                const auto start = std::chrono::steady_clock::now();
                const auto found = find_keys(letters.data(), letters.size(), complete, options);
                ms.push_back(elapsed_ms(start));
                if (ms.back() > 2000) // a search this slow is a fault to look into
                    std::fprintf(stderr, "slow: %.0f ms, n = %d: %.*s\n", ms.back(), n,
                                 static_cast<int>(plain.size()),
                                 reinterpret_cast<const char*>(plain.data()));
                const bool right = !found.empty() && recovers(found[0], letters, plain);
                hits += right ? 1 : 0;
                by_n[n].first += right ? 1 : 0;
                ++by_n[n].second;
                if (!found.empty())
                    ++verdicts[static_cast<int>(judge_candidate(found[0]))];
            }
            std::sort(ms.begin(), ms.end());
            std::printf(
                "%4zu letters%s: %5.1f%%  verdicts russian %d, not Russian %d, too short %d;"
                "  search median %.1f ms, max %.1f ms;  by n:",
                length, with_crib ? ", crib" : "", 100.0 * hits / trials, verdicts[0], verdicts[1],
                verdicts[2], ms[ms.size() / 2], ms.back());
            for (const auto& [n, r] : by_n)
                std::printf(" %d:%d/%d", n, r.first, r.second);
            std::printf("\n");
        }
}

// crack's verdicts by kind and length, with the least and most score; and the plaintext verdict on
// the right key and a wrong one, with the most and least bits per 4-gram.
void judge_figures(std::mt19937& rng, const std::vector<bytes>& docs, int trials) {
    for (const std::size_t length : {40U, 50U, 60U, 80U, 100U, 150U, 200U}) {
        std::printf("%4zu letters:", length);
        for (const kind k : {kind::russian, kind::koi8r, kind::random}) {
            int verdicts[3] = {0, 0, 0};
            double least = 1e300;
            double most = 0;
            for (int i = 0; i < trials; ++i) {
                const bytes text = text_of(rng, docs, length, k);
                bool complete = false;
                const bytes letters = read_back(
                    sprinkle(rng, encipher(text, random_order(rng, 1 + i % 9))), complete);
                const key_candidate best = find_keys(letters.data(), letters.size(), complete)[0];
                ++verdicts[static_cast<int>(judge_candidate(best))];
                least = std::min(least, best.score);
                most = std::max(most, best.score);
            }
            std::printf("  %s: %d/%d/%d (%.2f..%.2f)", kind_names[static_cast<int>(k)], verdicts[0],
                        verdicts[1], verdicts[2], least, most);
        }
        // A wrong key: another order, of a length from 2 to 9, on the right key's ciphertext.
        int fired_right = 0;
        int fired_wrong = 0;
        double right_most = 0;
        double wrong_least = 1e300;
        for (int i = 0; i < trials; ++i) {
            const bytes text = lowercase(excerpt(rng, docs, length));
            const int n = 2 + i % 8;
            const auto order = random_order(rng, n);
            const bytes cipher = encipher(text, order);
            bytes plain(text.size(), 0);
            decipher_letters(cipher.data(), cipher.size(), order.data(), n, plain.data());
            auto wrong = random_order(rng, 2 + (i / 8) % 8);
            if (wrong == order)
                std::swap(wrong[0], wrong[1]);
            bytes garbled(text.size(), 0);
            decipher_letters(cipher.data(), cipher.size(), wrong.data(),
                             static_cast<int>(wrong.size()), garbled.data());
            const auto bits = [](const bytes& t) {
                return static_cast<double>(text_cost(t.data(), t.size(), true)) /
                       cost_steps_per_bit / static_cast<double>(t.size() - 3);
            };
            right_most = std::max(right_most, bits(plain));
            if (garbled != plain)
                wrong_least = std::min(wrong_least, bits(garbled));
            fired_right += judge_plaintext(plain.data(), plain.size(), order.data(), n) ==
                                   text_verdict::not_russian
                               ? 1
                               : 0;
            fired_wrong +=
                garbled != plain &&
                        judge_plaintext(garbled.data(), garbled.size(), wrong.data(),
                                        static_cast<int>(wrong.size())) == text_verdict::not_russian
                    ? 1
                    : 0;
        }
        std::printf(
            "  | plaintext: right key fired %d (most %.2f), wrong key fired %d (least %.2f)\n",
            fired_right, right_most, fired_wrong, wrong_least);
    }
}

// decipher's verdict on whole messages of 40 to 99 letters, by band of 20 lengths: TRIALS
// excerpts each, enciphered under a random order of a length from 2 to 9 (in turn), deciphered
// with the right order and with wrong ones: a random order of the same length, one of another
// length (1 to 9) and a near miss, the right order with two columns swapped.
void short_figures(std::mt19937& rng, const std::vector<bytes>& docs, int trials) {
    constexpr const char* keys[] = {"right", "same length", "other length", "near miss"};
    struct side {
        int warned = 0;
        int texts = 0;
        double bits_least = 1e300;
        double bits_most = -1e300;
        double saving_least = 1e300;
        double saving_most = 0;
    };
    for (const std::size_t low : {40U, 60U, 80U}) {
        side sides[std::size(keys)];
        for (int i = 0; i < trials; ++i) {
            const auto length = std::uniform_int_distribution<std::size_t>(low, low + 19)(rng);
            const bytes text = lowercase(excerpt(rng, docs, length));
            const int n = 2 + i % 8;
            const auto order = random_order(rng, n);
            const bytes cipher = encipher(text, order);
            for (std::size_t k = 0; k < std::size(keys); ++k) {
                auto key = order;
                if (k == 1)
                    while (key == order)
                        key = random_order(rng, n);
                if (k == 2) {
                    const int other = std::uniform_int_distribution<int>(1, 8)(rng);
                    key = random_order(rng, other < n ? other : other + 1);
                }
                if (k == 3) {
                    const auto a =
                        std::uniform_int_distribution<std::size_t>(0, key.size() - 1)(rng);
                    const auto b =
                        std::uniform_int_distribution<std::size_t>(1, key.size() - 1)(rng);
                    std::swap(key[a], key[(a + b) % key.size()]);
                }
                const int m = static_cast<int>(key.size());
                bytes plain(text.size(), 0);
                decipher_letters(cipher.data(), cipher.size(), key.data(), m, plain.data());
                if (k > 0 && plain == text) // another key that gives the same text
                    continue;
                side& s = sides[k];
                ++s.texts;
                s.warned += judge_plaintext(plain.data(), plain.size(), key.data(), m) ==
                                    text_verdict::not_russian
                                ? 1
                                : 0;
                const double bits =
                    static_cast<double>(one_text_cost(plain.data(), plain.size(), true)) /
                    cost_steps_per_bit / static_cast<double>(plain.size() - 3);
                s.bits_least = std::min(s.bits_least, bits);
                s.bits_most = std::max(s.bits_most, bits);
                if (m > 1) {
                    const double saving = static_cast<double>(swaps_saving(
                                              plain.data(), plain.size(), key.data(), m)) /
                                          cost_steps_per_bit;
                    s.saving_least = std::min(s.saving_least, saving);
                    s.saving_most = std::max(s.saving_most, saving);
                }
            }
        }
        std::printf("%zu-%zu letters:", low, low + 19);
        for (std::size_t k = 0; k < std::size(keys); ++k)
            std::printf("  %s warned %d of %d (bits %.2f..%.2f, swaps saving %.1f..%.1f)", keys[k],
                        sides[k].warned, sides[k].texts, sides[k].bits_least, sides[k].bits_most,
                        sides[k].saving_least, sides[k].saving_most);
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(
            "usage: crack_curve TEXT [TRIALS [tune | verdict | sentences | judge | short]]\n",
            stderr);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 1024); // a long run shows its rows as they come
    const auto docs = documents(argv[1]);
    const int trials = argc > 2 ? std::atoi(argv[2]) : 400;
    const bool tune = argc > 3 && std::strcmp(argv[3], "tune") == 0;
    if (argc > 3 && std::strcmp(argv[3], "sentences") == 0) {
        std::mt19937 rng(4);
        sentence_curve(rng, docs, trials);
        return 0;
    }
    if (argc > 3 && std::strcmp(argv[3], "short") == 0) {
        std::mt19937 rng(6);
        short_figures(rng, docs, trials);
        return 0;
    }
    if (argc > 3 && std::strcmp(argv[3], "judge") == 0) {
        std::mt19937 rng(5);
        judge_figures(rng, docs, trials);
        return 0;
    }
    if (argc > 3 && std::strcmp(argv[3], "verdict") == 0) {
        std::mt19937 rng(3);
        verdict_figures(rng, docs, trials);
        return 0;
    }
    std::mt19937 rng(tune ? 2 : 1);
    const double weights[] = {0, 0.25, 0.5, 0.75, 1, 1.25, 1.5, 2, 3};
    for (const std::size_t length : {40U, 60U, 100U, 150U, 300U, 1000U}) {
        std::vector<trial> runs;
        runs.reserve(static_cast<std::size_t>(trials));
        for (int i = 0; i < trials; ++i)
            runs.push_back(run_trial(rng, docs, length, 2 + i % 8));
        if (tune) {
            std::printf("%4zu letters:", length);
            for (const double w : weights) {
                int hits = 0;
                for (const auto& t : runs) {
                    bool right = false;
                    pick(t, w, right);
                    hits += right ? 1 : 0;
                }
                std::printf("  w %.2f %5.1f%%", w, 100.0 * hits / trials);
            }
            // Margins, in bits, under the weight in use: the smallest of a right answer's
            // and the largest of a wrong one's.
            double right_min = 1e300;
            double wrong_max = 0;
            for (const auto& t : runs) {
                bool right = false;
                const double margin = pick(t, key_space_weight, right).second;
                (right ? right_min : wrong_max) =
                    right ? std::min(right_min, margin) : std::max(wrong_max, margin);
            }
            std::printf("  | margin: wrong max %.1f, right min %.1f\n", wrong_max, right_min);
            continue;
        }
        std::map<int, std::pair<int, int>> by_n; // hits, trials
        int hits = 0;
        std::string misses;
        for (const auto& t : runs) {
            bool right = false;
            const key_candidate* best = pick(t, key_space_weight, right).first;
            hits += right ? 1 : 0;
            by_n[t.n].first += right ? 1 : 0;
            ++by_n[t.n].second;
            if (!right) {
                char miss[16];
                std::snprintf(miss, sizeof miss, " %d->%d", t.n, best->n);
                misses.append(miss);
            }
        }
        std::printf("%4zu letters: %5.1f%%  by n:", length, 100.0 * hits / trials);
        for (const auto& [n, r] : by_n)
            std::printf(" %d:%d/%d", n, r.first, r.second);
        std::printf("\n      misses (true n->found n):%s\n",
                    misses.empty() ? " none" : misses.c_str());
    }
    if (!tune)
        timing(rng, docs);
    return 0;
}
