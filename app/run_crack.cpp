#include "app/run_crack.hpp"

#include "analysis/key_search.hpp"
#include "analysis/verdict.hpp"
#include "app/file_checks.hpp"
#include "app/key_line.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"
#include "app/skipped_bytes_note.hpp"
#include "app/tool.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr tool_interface tool = {
    "crack",
    false,
    true,
    false,
    tr_noop("[CRYPT [DECRYPT]]"),
    tr_noop(
        "Finds the key of CRYPT (default Crypt.txt) from the text alone, lists the best "
        "candidates,\n"
        "best first, and deciphers CRYPT into DECRYPT (default Decrypt.txt) with the best one. A\n"
        "candidate's key word, given to decipher, gives the same plaintext. A file named - is\n"
        "standard input or output; when the plaintext goes to standard output, the candidates go\n"
        "to standard error. Files may be Windows-1251 or UTF-8.\n"
        "\n"
        "  -q, --quiet          no candidate list; warnings and errors still show\n"
        "  -e, --encoding=ENC   the output in ENC, utf-8 or windows-1251 (default: the input's)\n"
        "      --crib=WORD      a word the plaintext holds, in any case (repeatable)\n"
        "      --length=N[-M]   try only key lengths N to M, from 1 to 9\n"
        "      --top=N          list N candidates (default 5)\n"
        "For example:\n"
        "  crack --crib WORD intercepted.txt - | head -c 200\n"),
    "Crypt.txt",
    "Decrypt.txt"};

constexpr std::size_t shown_letters = 40;

void print_candidates(run_context& run, const std::vector<key_candidate>& found,
                      const std::uint8_t* letters) {
    // TRANSLATORS: the column heads over a 9-letter key, its length in 6 places and the score in
    // 13, two spaces apart; the plaintext follows.
    write_message(run.console(), {tr("key        length        score  plaintext begins\n")});
    for (const key_candidate& c : found) {
        key_word key{};
        candidate_key_word(c, key.data());
        std::vector<std::uint8_t> plain(c.letters);
        decipher_letters(letters, c.letters, c.order.data(), c.n, plain.data());
        std::fprintf(run.console(), "%-9s  %6d  %11.3f  ", key.data(), c.n, c.score);
        write_windows_1251(run.console(), plain.data(), std::min(plain.size(), shown_letters));
        std::fputc('\n', run.console());
    }
    run.flush_standard_output();
}

// What the command line asks of the search; false after reporting a crib that cannot be one.
bool search_asked(run_context& run, const run_request& request, search_options& options) {
    for (int n = request.shortest; n <= request.longest; ++n)
        options.lengths.push_back(n);
    if (request.top > 0)
        options.top = static_cast<std::size_t>(request.top);
    for (const char* crib : request.cribs) {
        std::string text;
        if (!take_argument_text(run, tr("crib"), crib, text))
            return false;
        options.cribs.push_back(
            crib_letters(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        if (options.cribs.back().empty()) {
            run.report(message_format(tr("crib \"%s\""), crib).c_str(), tr("no letters"));
            return false;
        }
    }
    return true;
}

int crack_run(run_context& run, const run_request& request) {
    const char* input_name = request.input_name;
    const char* output_name = request.output_name;

    std::FILE* in = nullptr;
    letter_reader reader;
    int open_error = 0;
    switch (open_text(run, input_name, in, reader, open_error)) {
    case text_check::missing:
        run.report_errno(input_name, open_error);
        return finish_run(run, in, 1);
    case text_check::refused: return finish_run(run, in, 1);
    case text_check::ready: break;
    }
    // After the text is opened: a run short of memory is told so by its first file.
    search_options options;
    if (!search_asked(run, request, options))
        return finish_run(run, in, 1);
    // One letter more than the search reads tells whether the text ends within it.
    const auto buffer = make_io_buffer(io_chunk_size);
    const std::size_t held = read_letters(reader, buffer.get(), search_letters + 1);
    if (reader_failed(reader)) {
        run.report_errno(shown_input_name(input_name), errno);
        return finish_run(run, in, 1);
    }
    if (held == 0) {
        run.report(shown_input_name(input_name), tr("no letters"));
        return finish_run(run, in, 1);
    }
    const bool complete = held <= search_letters;
    const auto found = find_keys(buffer.get(), std::min(held, search_letters), complete, options);
    if (found.empty()) { // only when cribs are given and no plaintext holds them all
        run.report(shown_input_name(input_name),
                   options.cribs.size() == 1 ? tr("no key gives a plaintext holding the crib")
                                             : tr("no key gives a plaintext holding every crib"));
        return finish_run(run, in, 1);
    }

    output_file out;
    if (!open_output_apart(run, in, input_name, output_name, out))
        return finish_run(run, in, 1);
    if (!request.quiet)
        print_candidates(run, found, buffer.get());
    // A text that is not Russian has no runner-up worth naming.
    const text_verdict verdict = judge_candidate(found[0]);
    if (verdict == text_verdict::not_russian)
        run.say(message_format(tr("no key gives Russian text; is %s enciphered this way, in "
                                  "Windows-1251 or UTF-8?"),
                               shown_input_name(input_name))
                    .c_str());
    else if (verdict == text_verdict::too_short_to_tell)
        run.say(message_format(tr_plural(held,
                                         "%zu letter is too few to be sure; a word you expect in "
                                         "the text (--crib) or the key length (--length) "
                                         "narrows the search",
                                         "%zu letters are too few to be sure; a word you expect "
                                         "in the text (--crib) or the key length (--length) "
                                         "narrows the search"),
                               held)
                    .c_str());
    else if (found.size() > 1 && close_call(found[0], found[1]))
        run.say(tr("the runner-up is close; the text may be too short to be sure"));
    note_skipped_bytes(run, input_name, reader);

    const key_candidate& best = found.front();
    const stream_extras extras = extras_for(request, in);
    const stream_fault fault = decipher_stream(reader, out.stream(), best.order.data(), best.n,
                                               buffer.get(), io_chunk_size, held, extras);
    return finish_run(run, in, out, output_name,
                      stream_status(run, fault, input_name, out.stream(), output_name));
}

} // namespace

int run_crack(int argc, char** argv) {
    return run_guarded(tool, crack_run, argc, argv);
}
