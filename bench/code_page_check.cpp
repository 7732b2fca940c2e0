// How short a text the letter counts tell Windows-1251, CP866 and KOI8-R apart: excerpts of N
// letters of the same books in each set (converted with iconv), as text and as ciphertext (its
// letters alone, which a transposition keeps in number), judged as the readers judge them.
// Counted per set: taken as it is, taken for another set, and read as Windows-1251 with the
// note that the counts lean elsewhere.
//
//   code_page_check EXCERPTS WINDOWS-1251-FILE CP866-FILE KOI8-R-FILE
#include "cipher/code_pages.hpp"
#include "cipher/text_encoding.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>

namespace {

using bytes = std::basic_string<std::uint8_t>;

bytes slurp(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool letter(std::uint8_t b, text_encoding encoding) {
    const byte_table* table = letters_as_windows_1251(encoding);
    return (table != nullptr ? (*table)[b] : b) >= 0xC0;
}

// From a random place, the bytes up to the count-th letter; letters_only keeps the letters and
// puts a blank after every fifth, as ciphertext is written.
bytes excerpt(const bytes& text, text_encoding encoding, std::size_t count, bool letters_only,
              std::mt19937& rng) {
    std::uniform_int_distribution<std::size_t> at(0, text.size() - 1);
    bytes out;
    std::size_t letters = 0;
    for (std::size_t i = at(rng); letters < count; i = (i + 1) % text.size()) {
        const bool is_letter = letter(text[i], encoding);
        if (letters_only && !is_letter)
            continue;
        out += text[i];
        letters += is_letter ? 1U : 0U;
        if (letters_only && letters % 5 == 0)
            out += ' ';
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: code_page_check EXCERPTS WINDOWS-1251-FILE CP866-FILE KOI8-R-FILE\n",
                   stderr);
        return 2;
    }
    const long excerpts = std::strtol(argv[1], nullptr, 10);
    const text_encoding sets[] = {text_encoding::windows_1251, text_encoding::cp866,
                                  text_encoding::koi8_r};
    const bytes texts[] = {slurp(argv[2]), slurp(argv[3]), slurp(argv[4])};
    for (const bytes& text : texts)
        if (text.empty()) {
            std::fputs("code_page_check: a file is missing or empty\n", stderr);
            return 2;
        }
    std::mt19937 rng(866);
    std::printf("%-6s %-12s %-7s %8s %8s %8s\n", "letters", "set", "form", "right", "wrong",
                "note");
    for (const std::size_t count : {8U, 12U, 16U, 24U, 32U, 48U, 64U, 100U, 200U, 1000U}) {
        for (std::size_t k = 0; k < 3; ++k) {
            for (const bool letters_only : {false, true}) {
                long right = 0;
                long wrong = 0;
                long note = 0;
                for (long i = 0; i < excerpts; ++i) {
                    const bytes e = excerpt(texts[k], sets[k], count, letters_only, rng);
                    const std::span<const std::uint8_t> s(e.data(), e.size());
                    const text_encoding decided = decide_encoding(s, true);
                    right += decided == sets[k] ? 1 : 0;
                    wrong += decided != sets[k] && decided != text_encoding::windows_1251 ? 1 : 0;
                    note += decided == text_encoding::windows_1251 &&
                                    judge_by_counts(s).likeliest != text_encoding::windows_1251
                                ? 1
                                : 0;
                }
                std::printf("%-7zu %-12s %-7s %8ld %8ld %8ld\n", count, encoding_name(sets[k]),
                            letters_only ? "cipher" : "text", right, wrong, note);
            }
        }
    }
    return 0;
}
