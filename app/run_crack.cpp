#include "app/run_crack.hpp"

#include "analysis/key_search.hpp"
#include "analysis/verdict.hpp"
#include "app/platform.hpp"
#include "app/tool.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

constexpr tool_interface tool = {
    "crack",
    false,
    "[CRYPT [DECRYPT]]",
    "Finds the key of CRYPT (default Crypt.txt) from the text alone, lists the best candidates,\n"
    "best first, and deciphers CRYPT into DECRYPT (default Decrypt.txt) with the best one. A\n"
    "candidate's key word, given to decipher, gives the same plaintext. A file named - is\n"
    "standard input or output; when the plaintext goes to standard output, the candidates go\n"
    "to standard error. Files may be Windows-1251 or UTF-8. For example:\n"
    "  crack intercepted.txt - | head -c 200\n",
    "Crypt.txt",
    "Decrypt.txt"};
constexpr const char* program = tool.program;

constexpr std::size_t shown_letters = 40;

void print_candidates(const std::vector<key_candidate>& found, const std::uint8_t* letters) {
    std::fputs("key        length        score  plaintext begins\n", console());
    for (const key_candidate& c : found) {
        key_word key{};
        candidate_key_word(c, key.data());
        std::vector<std::uint8_t> plain(c.letters);
        decipher_letters(letters, c.letters, c.order.data(), c.n, plain.data());
        const std::string shown = console_text(plain.data(), std::min(plain.size(), shown_letters));
        std::fprintf(console(), "%-9s  %6d  %11.3f  %s\n", key.data(), c.n, c.rank, shown.c_str());
    }
    flush_standard_output();
}

int crack_run(const run_request& request) {
    const char* input_name = request.input_name;
    const char* output_name = request.output_name;

    std::FILE* in = open_input(program, input_name);
    if (in == nullptr)
        return finish_run(program, nullptr, nullptr, output_name, 1);
    // One letter more than the search reads tells whether the text ends within it.
    letter_reader reader = make_letter_reader(in);
    if (refuse_text(program, input_name, reader))
        return finish_run(program, in, nullptr, output_name, 1);
    const auto buffer = make_io_buffer(io_chunk_size);
    const std::size_t held = read_letters(reader, buffer.get(), search_letters + 1);
    if (reader_failed(reader)) {
        report_errno(program, shown_input_name(input_name), errno);
        return finish_run(program, in, nullptr, output_name, 1);
    }
    if (held == 0) {
        report(program, shown_input_name(input_name), "no letters");
        return finish_run(program, in, nullptr, output_name, 1);
    }
    const bool complete = held <= search_letters;
    const auto found = find_keys(buffer.get(), std::min(held, search_letters), complete);

    if (found.empty()) { // only when cribs are given and no plaintext holds them all
        report(program, shown_input_name(input_name), "no key gives a plaintext holding the crib");
        return finish_run(program, in, nullptr, output_name, 1);
    }
    std::FILE* out = open_output_apart(program, in, input_name, output_name);
    if (out == nullptr)
        return finish_run(program, in, nullptr, output_name, 1);
    print_candidates(found, buffer.get());
    // A text that is not Russian has no runner-up worth naming.
    const text_verdict verdict = judge_candidate(found[0]);
    if (verdict == text_verdict::not_russian)
        std::fprintf(stderr,
                     "%s: no key gives Russian text; is %s enciphered this way, in Windows-1251 "
                     "or UTF-8?\n",
                     program, shown_input_name(input_name));
    else if (verdict == text_verdict::too_short_to_tell)
        std::fprintf(stderr,
                     "%s: %zu letters are too few to be sure; a word you expect in the text "
                     "(--crib) or the key length (--length) narrows the search\n",
                     program, held);
    else if (found.size() > 1 && close_call(found[0], found[1]))
        std::fprintf(stderr, "%s: the runner-up is close; the text may be too short to be sure\n",
                     program);

    const key_candidate& best = found.front();
    const stream_fault fault =
        decipher_stream(reader, out, best.order.data(), best.n, buffer.get(), io_chunk_size, held);
    return finish_run(program, in, out, output_name,
                      stream_status(program, fault, input_name, output_name));
}

} // namespace

int run_crack(int argc, char** argv) {
    return run_guarded(tool, crack_run, argc, argv);
}
