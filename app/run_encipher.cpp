#include "app/run_encipher.hpp"

#include "app/cipher_table.hpp"
#include "app/encoding_note.hpp"
#include "app/file_checks.hpp"
#include "app/key_line.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/skipped_bytes_note.hpp"
#include "app/stream_run.hpp"
#include "app/tool.hpp"
#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/text_stream.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr tool_interface tool = {
    .program = "encipher",
    .takes_key = true,
    .takes_verbose = true,
    .operands = tr_noop("[PLAIN [CRYPT]]"),
    .description = tr_noop(
        "Enciphers the letters of PLAIN (default Plain.txt) into CRYPT (default Crypt.txt) with\n"
        "the key word KEY, or one read from standard input after a prompt; decipher with the same\n"
        "key gives them back. A file named - is standard input or output; text from standard\n"
        "input needs -k. CRYPT is replaced only by a whole ciphertext. Files may be Windows-1251,\n"
        "UTF-8, CP866 or KOI8-R, told apart by their letters. The letter yo (U+0401, U+0451) is\n"
        "enciphered as ye (U+0415, U+0435).\n"
        "\n"
        "  -q, --quiet          no prompt, no order line; warnings and errors still show\n"
        "  -e, --encoding=ENC   the output in ENC: utf-8, windows-1251, cp866 or koi8-r (default:\n"
        "                       the input's, or a terminal's own character set)\n"
        "      --from=ENC       read the text as ENC, for one too short to tell by its letters\n"
        "  -v, --verbose        say how many letters yo became ye\n"
        "  -k, --key=KEY        the key word, instead of asking for it\n"
        "      --table          draw the cipher for the key on standard error: the key over its\n"
        "                       columns, the order they are read in, and the first block\n"
        "For example:\n"
        "  encipher -q -k KEY Plain.txt - | decipher -q -e utf-8 -k KEY - -\n"),
    .input_name = "Plain.txt",
    .output_name = "Crypt.txt"};

int encipher_as_asked(run_context& run, const run_request& request) {
    const char* in_name = request.input_name;
    const char* out_name = request.output_name;

    std::FILE* in = nullptr;
    letter_reader reader;
    if (const auto status = open_run_text(run, request, in, reader))
        return *status;
    // Before the key is asked, so that a run that cannot write asks nothing.
    output_file out;
    if (!open_destination(run, in, in_name, out_name, out))
        return finish_run(run, in, 1);

    std::array<std::int32_t, max_key_length> order{};
    std::string key;
    const int n = get_key(run, request, order, &key);
    if (n == 0)
        return finish_run(run, in, out, out_name, 1);
    if (n == 1)
        run.say(tr("a key of one character leaves the letters in order"));

    const auto buffer = make_io_buffer(io_chunk_size);
    std::uint64_t letters = 0;
    stream_summary summary;
    stream_extras extras = extras_for(request, in, out.stream());
    extras.summary = &summary;
    // What a reader of the deciphered text expects, as Russian is usually written.
    reader.yo_as_ye = true;
    const stream_fault fault = encipher_stream(reader, out.stream(), order.data(), n, buffer.get(),
                                               io_chunk_size, &letters, extras);
    int status = stream_status(run, fault, in_name, out.stream(), out_name);
    // A text with no letters would leave an empty ciphertext in place of the old one.
    if (status == 0 && letters == 0) {
        run.report(shown_input_name(in_name), tr("no letters"));
        status = 1;
    }
    if (status == 0) {
        if (request.table)
            draw_cipher_table(stderr, table_way::encipher, key, order.data(), n,
                              summary.start.data(), summary.start_size, summary.letters);
        note_encoding(run, in_name, reader);
        note_skipped_bytes(run, in_name, reader);
        if (request.verbose) {
            run.report(shown_input_name(in_name),
                       message_format(tr_plural(reader.yo_changed, "%zu letter yo written as ye",
                                                "%zu letters yo written as ye"),
                                      reader.yo_changed)
                           .c_str());
        }
    }
    return finish_run(run, in, out, out_name, status);
}

} // namespace

int run_encipher(int argc, char** argv) {
    return run_guarded(tool, encipher_as_asked, argc, argv);
}
