#include "app/run_crack.hpp"

#include "analysis/key_search.hpp"
#include "analysis/verdict.hpp"
#include "app/cipher_table.hpp"
#include "app/encoding_note.hpp"
#include "app/file_checks.hpp"
#include "app/fixed_text.hpp"
#include "app/key_line.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"
#include "app/run_note.hpp"
#include "app/skipped_bytes_note.hpp"
#include "app/stream_run.hpp"
#include "app/tool.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* description = tr_noop(
    "Finds the key of CRYPT (default Crypt.txt) from the text alone, lists the best "
    "candidates,\n"
    "best first, and deciphers CRYPT into DECRYPT (default Decrypt.txt) with the best one. A\n"
    "candidate's key word, given to decipher, gives the same plaintext. A file named - is\n"
    "standard input or output; when the plaintext goes to standard output, the candidates go\n"
    "to standard error. Files may be Windows-1251, UTF-8, CP866 or KOI8-R.\n"
    "\n"
    "  -q, --quiet          no candidate list; warnings and errors still show\n"
    "  -e, --encoding=ENC   the output in ENC: utf-8, windows-1251, cp866 or koi8-r (default:\n"
    "                       the input's, or a terminal's own character set)\n"
    "      --from=ENC       read the text as ENC, for one too short to tell by its letters\n"
    "      --crib=WORD      a word the plaintext holds, in any case (repeatable)\n"
    "      --length=N[-M]   try only key lengths N to M, from 1 to 9\n"
    "      --top=N          list N candidates (default 5)\n"
    "      --table          draw the cipher for the key found on standard error: the key over\n"
    "                       its columns, the order they are read in, and the first block\n"
    "      --words          the plaintext in words, its word breaks guessed by a model of\n"
    "                       Russian; lines of at most 72 characters\n"
    "For example:\n"
    "  crack --crib WORD intercepted.txt - | head -c 200\n");

constexpr tool_interface tool = {.program = "crack",
                                 .takes_search = true,
                                 .operands = tr_noop("[CRYPT [DECRYPT]]"),
                                 .description = description,
                                 .input_name = "Crypt.txt",
                                 .output_name = "Decrypt.txt",
                                 .takes_words = true};

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

int crack_as_asked(run_context& run, const run_request& request) {
    const char* input_name = request.input_name;
    const char* output_name = request.output_name;

    std::FILE* in = nullptr;
    letter_reader reader;
    if (const auto status = open_run_text(run, request, in, reader))
        return *status;
    // After the text is opened: a run short of memory is told so by its first file.
    search_options options;
    if (!search_asked(run, request, options))
        return finish_run(run, in, 1);
    // One letter more than the search reads tells whether the text ends within it. A crib is
    // looked for further on than the letters weighed.
    const std::size_t wanted = options.cribs.empty() ? search_letters : crib_search_letters;
    const auto buffer = make_io_buffer(io_chunk_size);
    const std::size_t held = read_letters(reader, buffer.get(), wanted + 1);
    if (reader_failed(reader)) {
        run.report_errno(shown_input_name(input_name), errno);
        return finish_run(run, in, 1);
    }
    note_encoding(run, input_name, reader);
    if (held == 0) {
        run.report(shown_input_name(input_name), tr("no letters"));
        return finish_run(run, in, 1);
    }
    const bool complete = held <= wanted;
    const auto found = find_keys(buffer.get(), std::min(held, wanted), complete, options);
    if (found.empty()) { // only when cribs are given and no plaintext holds them all
        const char* reason =
            complete
                ? (options.cribs.size() == 1 ? tr("no key gives a plaintext holding the crib")
                                             : tr("no key gives a plaintext holding every crib"))
                : (options.cribs.size() == 1
                       ? tr("no key gives a plaintext holding the crib within its first %zu "
                            "letters")
                       : tr("no key gives a plaintext holding every crib within its first %zu "
                            "letters"));
        run.report(shown_input_name(input_name), message_format(reason, wanted).c_str());
        return finish_run(run, in, 1);
    }

    output_file out;
    if (!open_output_apart(run, in, input_name, output_name, out))
        return finish_run(run, in, 1);
    if (!request.quiet)
        print_candidates(run, found, buffer.get());
    const run_note verdict = candidate_note(
        judge_candidate(found[0]), found.size() > 1 && close_call(found[0], found[1]),
        shown_input_name(input_name), held, !request.cribs.empty(),
        request.shortest != 1 || request.longest != max_key_length);
    if (verdict.text != nullptr)
        run.say(note_text(verdict).c_str());
    note_skipped_bytes(run, input_name, reader);

    const key_candidate& best = found.front();
    stream_summary summary;
    word_breaker words;
    const stream_extras extras = decipher_extras(request, in, out.stream(), summary, words);
    const stream_fault fault = decipher_stream(reader, out.stream(), best.order.data(), best.n,
                                               buffer.get(), io_chunk_size, held, extras);
    const int status = stream_status(run, fault, input_name, out.stream(), output_name);
    if (status == 0 && request.table) {
        key_word key{};
        candidate_key_word(best, key.data());
        draw_cipher_table(stderr, table_way::decipher, std::string(key.data(), std::size_t(best.n)),
                          best.order.data(), best.n, summary.start.data(), summary.start_size,
                          summary.letters);
    }
    return finish_run(run, in, out, output_name, status);
}

} // namespace

int run_crack(int argc, char** argv) {
    return run_guarded(tool, crack_as_asked, argc, argv);
}
