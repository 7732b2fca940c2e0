// How many word breaks the word-boundary model puts back right, on held-out text whose words
// are known:
//
//   word_breaks TEXT [LETTERS...]
//
// TEXT holds a document a line, words parted by a blank (analysis/make_model.py --excerpts
// writes literature-test-words.txt and test-words.txt). Without LETTERS each document is broken
// whole; with them, every document gives a message of each length, from its first sentence
// start past its first letter, as crack and decipher see short messages. Prints precision,
// recall and F1 over the breaks between letters (the text's end is not counted), and the speed.
#include "analysis/word_breaks.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

struct tally {
    std::size_t right = 0;
    std::size_t found = 0;
    std::size_t expected = 0;
    std::size_t letters = 0;
    double seconds = 0;
};

// The letters of text alone, and after which of them a word ends.
std::vector<std::uint8_t> letters_of(const std::string& text, std::set<std::size_t>& breaks) {
    std::vector<std::uint8_t> letters;
    for (const char c : text) {
        if (c == ' ' || c == '\n') {
            if (!letters.empty())
                breaks.insert(letters.size());
            continue;
        }
        letters.push_back(static_cast<std::uint8_t>(static_cast<unsigned char>(c) | 0x20U));
    }
    breaks.erase(letters.size());
    return letters;
}

void score(const std::string& truth, tally& t) {
    std::set<std::size_t> expected;
    const std::vector<std::uint8_t> letters = letters_of(truth, expected);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> broken = with_word_breaks(letters.data(), letters.size());
    t.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::set<std::size_t> found;
    letters_of(std::string(broken.begin(), broken.end()), found);
    for (const std::size_t at : found)
        t.right += expected.count(at);
    t.found += found.size();
    t.expected += expected.size();
    t.letters += letters.size();
}

void print(const char* what, const tally& t) {
    const double precision = static_cast<double>(t.right) / static_cast<double>(t.found);
    const double recall = static_cast<double>(t.right) / static_cast<double>(t.expected);
    std::printf("%-10s %9zu letters %8zu breaks  precision %.4f  recall %.4f  F1 %.4f  %.0f "
                "letters/s\n",
                what, t.letters, t.expected, precision, recall,
                2 * precision * recall / (precision + recall),
                static_cast<double>(t.letters) / t.seconds);
}

// The first `letters` letters from the first sentence start past the document's start.
std::string message(const std::string& doc, std::size_t letters) {
    std::size_t at = 1;
    while (at < doc.size() && !(doc[at - 1] == ' ' && static_cast<unsigned char>(doc[at]) >= 0xC0 &&
                                static_cast<unsigned char>(doc[at]) < 0xE0))
        ++at;
    std::string out;
    std::size_t taken = 0;
    for (; at < doc.size() && taken < letters; ++at) {
        out.push_back(doc[at]);
        taken += doc[at] != ' ';
    }
    return taken == letters ? out : std::string();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: word_breaks TEXT [LETTERS...]\n", stderr);
        return 2;
    }
    std::vector<std::string> docs;
    std::ifstream in(argv[1], std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            docs.push_back(line);
    if (argc == 2) {
        tally t;
        for (const std::string& doc : docs)
            score(doc, t);
        std::printf("%zu documents\n", docs.size());
        print("whole", t);
        return 0;
    }
    for (int k = 2; k < argc; ++k) {
        const auto length = static_cast<std::size_t>(std::strtoul(argv[k], nullptr, 10));
        tally t;
        for (const std::string& doc : docs)
            if (const std::string m = message(doc, length); !m.empty())
                score(m, t);
        print(argv[k], t);
    }
    return 0;
}
