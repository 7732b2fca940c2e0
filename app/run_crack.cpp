#include "app/run_crack.hpp"

#include "analysis/key_search.hpp"
#include "app/platform.hpp"
#include "app/tool.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* program = "crack";
constexpr const char* input_name = "Crypt.txt";
constexpr const char* output_name = "Decrypt.txt";
constexpr const char* usage =
    "Usage: crack [--help | --version]\n"
    "Finds the key of Crypt.txt in the current folder from the text alone, lists the best\n"
    "candidates, best first, and deciphers Crypt.txt into Decrypt.txt with the best one.\n"
    "A candidate's key word, typed into decipher, gives the same Decrypt.txt.\n";

constexpr std::size_t shown_letters = 40;

void print_candidates(const std::vector<key_candidate>& found, const std::uint8_t* letters) {
    std::puts("key        length        score  plaintext begins");
    for (const key_candidate& c : found) {
        key_word key{};
        candidate_key_word(c, key.data());
        std::vector<std::uint8_t> plain(c.letters);
        decipher_letters(letters, c.letters, c.order.data(), c.n, plain.data());
        const std::string shown = console_text(plain.data(), std::min(plain.size(), shown_letters));
        std::printf("%-9s  %6d  %11.3f  %s\n", key.data(), c.n, c.rank, shown.c_str());
    }
    flush_standard_output();
}

} // namespace

int run_crack(int argc, char** argv) {
    guard_standard_streams();
    if (const int status = handle_arguments(program, argc, argv, usage); status >= 0)
        return status;

    std::FILE* in = open_input(program, input_name);
    if (in == nullptr)
        return finish_run(program, nullptr, nullptr, output_name, 1);
    // One letter more than the search reads tells whether the text ends within it.
    const auto buffer = make_io_buffer(io_chunk_size);
    const std::size_t held = read_letters(in, buffer.get(), search_letters + 1);
    if (std::ferror(in)) {
        report_errno(program, input_name, errno);
        return finish_run(program, in, nullptr, output_name, 1);
    }
    if (held == 0) {
        report(program, input_name, "no letters");
        return finish_run(program, in, nullptr, output_name, 1);
    }
    const bool complete = held <= search_letters;
    const auto found = find_keys(buffer.get(), std::min(held, search_letters), complete);

    std::FILE* out = open_output_apart(program, in, input_name, output_name);
    if (out == nullptr)
        return finish_run(program, in, nullptr, output_name, 1);
    print_candidates(found, buffer.get());
    // A text that is not Russian has no runner-up worth naming.
    if (!reads_as_russian(found[0]))
        std::fprintf(stderr,
                     "%s: no key gives Russian text; is %s enciphered this way, in Windows-1251 "
                     "or UTF-8?\n",
                     program, input_name);
    else if (found.size() > 1 && close_call(found[0], found[1]))
        std::fprintf(stderr, "%s: the runner-up is close; the text may be too short to be sure\n",
                     program);

    const key_candidate& best = found.front();
    const stream_fault fault =
        decipher_stream(in, out, best.order.data(), best.n, buffer.get(), io_chunk_size, held);
    return finish_run(program, in, out, output_name,
                      stream_status(program, fault, input_name, output_name));
}
