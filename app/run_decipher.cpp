#include "app/run_decipher.hpp"

#include "analysis/verdict.hpp"
#include "app/cipher_table.hpp"
#include "app/encoding_note.hpp"
#include "app/file_checks.hpp"
#include "app/key_line.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"
#include "app/run_note.hpp"
#include "app/skipped_bytes_note.hpp"
#include "app/stream_run.hpp"
#include "app/tool.hpp"
#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/text_stream.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr tool_interface tool = {
    .program = "decipher",
    .takes_key = true,
    .operands = tr_noop("[CRYPT [DECRYPT]]"),
    .description = tr_noop(
        "Deciphers the letters of CRYPT (default Crypt.txt) into DECRYPT (default Decrypt.txt)\n"
        "with the key word KEY, or one read from standard input after a prompt. A file named - is\n"
        "standard input or output; text from standard input needs -k. Files may be Windows-1251,\n"
        "UTF-8, CP866 or KOI8-R, told apart by their letters. A text that does not read as "
        "Russian\n"
        "is said to be so: the key may be wrong.\n"
        "\n"
        "  -q, --quiet          no prompt, no order line; warnings and errors still show\n"
        "  -e, --encoding=ENC   the output in ENC: utf-8, windows-1251, cp866 or koi8-r (default:\n"
        "                       the input's, or a terminal's own character set)\n"
        "      --from=ENC       read the text as ENC, for one too short to tell by its letters\n"
        "  -k, --key=KEY        the key word, instead of asking for it\n"
        "      --table          draw the cipher for the key on standard error: the key over its\n"
        "                       columns, the order they are read in, and the first block\n"
        "      --words          the plaintext in words, its word breaks guessed by a model of\n"
        "                       Russian; lines of at most 72 characters\n"
        "For example:\n"
        "  decipher -q -k KEY letter.txt - | less\n"),
    .input_name = "Crypt.txt",
    .output_name = "Decrypt.txt",
    .takes_words = true};

// The output is made at the start of every run, this one too, but never when it is the
// missing input under another name: that would make the ciphertext.
int fail_to_open_input(run_context& run, const run_request& request, int input_errno) {
    std::fputs("No file :(\n", run.console());
    run.report_errno(request.input_name, input_errno);
    output_file out;
    if (!written_through(request.output_name) &&
        !same_file(identify(request.input_name), identify(request.output_name))) {
        if (!out.open_in_place(request.output_name) || !empty_file(out.stream()))
            run.report_errno(request.output_name, open_failure(request.output_name, errno));
        // A link between the two names has just made the missing input: take back the file
        // made, never a link the user gave.
        else if (input_errno == ENOENT &&
                 same_file(identify(request.input_name), identify(request.output_name))) {
            out.discard();
            remove_created(request.output_name);
        }
    }
    return finish_run(run, nullptr, out, request.output_name, 1);
}

// After a run that went through: the output and status stay, but a text with no letters, bytes
// that were not UTF-8, or a plaintext that does not read as Russian are said to be so.
void say_what_was_off(const run_context& run, const char* in_name, const letter_reader& reader,
                      const stream_summary& summary, const std::int32_t* order, int n) {
    note_encoding(run, in_name, reader);
    note_skipped_bytes(run, in_name, reader);
    if (summary.letters == 0)
        run.report(shown_input_name(in_name), tr("no letters"));
    else if (const run_note off = plaintext_note(
                 judge_plaintext(summary.start.data(), summary.start_size, order, n));
             off.text != nullptr)
        run.say(note_text(off).c_str());
}

int decipher_as_asked(run_context& run, const run_request& request) {
    const char* in_name = request.input_name;
    const char* out_name = request.output_name;

    std::FILE* in = nullptr;
    letter_reader reader;
    if (const auto status = open_run_text(run, request, in, reader, fail_to_open_input))
        return *status;
    output_file out;
    if (!open_output_apart(run, in, in_name, out_name, out))
        return finish_run(run, in, 1);

    std::array<std::int32_t, max_key_length> order{};
    std::string key;
    const int n = get_key(run, request, order, &key);
    if (n == 0)
        return finish_run(run, in, out, out_name, 1);

    const auto buffer = make_io_buffer(io_chunk_size);
    stream_summary summary;
    word_breaker words;
    const stream_extras extras = decipher_extras(request, in, out.stream(), summary, words);
    const stream_fault fault = decipher_stream(reader, out.stream(), order.data(), n, buffer.get(),
                                               io_chunk_size, 0, extras);
    const int status = stream_status(run, fault, in_name, out.stream(), out_name);
    if (status == 0 && request.table && summary.letters > 0)
        draw_cipher_table(stderr, table_way::decipher, key, order.data(), n, summary.start.data(),
                          summary.start_size, summary.letters);
    if (status == 0)
        say_what_was_off(run, in_name, reader, summary, order.data(), n);
    return finish_run(run, in, out, out_name, status);
}

} // namespace

int run_decipher(int argc, char** argv) {
    return run_guarded(tool, decipher_as_asked, argc, argv);
}
