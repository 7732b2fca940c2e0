#include "app/run_decipher.hpp"

#include "analysis/verdict.hpp"
#include "app/file_checks.hpp"
#include "app/key_line.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"
#include "app/skipped_bytes_note.hpp"
#include "app/tool.hpp"
#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/text_stream.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr tool_interface tool = {
    "decipher",
    true,
    false,
    false,
    tr_noop("[CRYPT [DECRYPT]]"),
    tr_noop(
        "Deciphers the letters of CRYPT (default Crypt.txt) into DECRYPT (default Decrypt.txt)\n"
        "with the key word KEY, or one read from standard input after a prompt. A file named - is\n"
        "standard input or output; text from standard input needs -k. Files may be Windows-1251\n"
        "or UTF-8. A text that does not read as Russian is said to be so: the key may be wrong.\n"
        "\n"
        "  -q, --quiet          no prompt, no order line; warnings and errors still show\n"
        "  -e, --encoding=ENC   the output in ENC, utf-8 or windows-1251 (default: the input's)\n"
        "  -k, --key=KEY        the key word, instead of asking for it\n"
        "For example:\n"
        "  iconv -f KOI8-R -t UTF-8 letter.txt | decipher -q -k KEY - - | less\n"),
    "Crypt.txt",
    "Decrypt.txt"};

// The output is made at the start of every run, this one too, but never when it is the
// missing input under another name: that would make the ciphertext.
int fail_to_open_input(run_context& run, const run_request& request, int input_errno) {
    std::fputs("No file :(\n", run.console());
    run.report_errno(request.input_name, input_errno);
    output_file out;
    if (std::strcmp(request.output_name, "-") != 0 &&
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
                      const stream_summary& summary) {
    note_skipped_bytes(run, in_name, reader);
    if (summary.letters == 0)
        run.report(shown_input_name(in_name), tr("no letters"));
    else if (judge_plaintext(summary.start.data(), summary.start_size) == text_verdict::not_russian)
        run.say(tr("the text does not read as Russian; is the key right? (crack finds a key "
                   "from the text alone)"));
}

int decipher_run(run_context& run, const run_request& request) {
    const char* in_name = request.input_name;
    const char* out_name = request.output_name;

    std::FILE* in = nullptr;
    letter_reader reader;
    int open_error = 0;
    switch (open_text(run, in_name, in, reader, open_error)) {
    case text_check::missing: return fail_to_open_input(run, request, open_error);
    case text_check::refused: return finish_run(run, in, 1);
    case text_check::ready: break;
    }
    output_file out;
    if (!open_output_apart(run, in, in_name, out_name, out))
        return finish_run(run, in, 1);

    std::array<std::int32_t, max_key_length> order{};
    const int n = get_key(run, request, order);
    if (n == 0)
        return finish_run(run, in, out, out_name, 1);

    const auto buffer = make_io_buffer(io_chunk_size);
    stream_summary summary;
    stream_extras extras = extras_for(request, in);
    extras.summary = &summary;
    const stream_fault fault = decipher_stream(reader, out.stream(), order.data(), n, buffer.get(),
                                               io_chunk_size, 0, extras);
    const int status = stream_status(run, fault, in_name, out.stream(), out_name);
    if (status == 0)
        say_what_was_off(run, in_name, reader, summary);
    return finish_run(run, in, out, out_name, status);
}

} // namespace

int run_decipher(int argc, char** argv) {
    return run_guarded(tool, decipher_run, argc, argv);
}
