#include "app/run_decipher.hpp"

#include "app/platform.hpp"
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
    "[CRYPT [DECRYPT]]",
    "Deciphers the letters of CRYPT (default Crypt.txt) into DECRYPT (default Decrypt.txt)\n"
    "with the key word KEY, or one read from standard input after a prompt. A file named - is\n"
    "standard input or output; text from standard input needs -k. Files may be Windows-1251\n"
    "or UTF-8; the output takes the input's encoding. For example:\n"
    "  iconv -f KOI8-R -t UTF-8 letter.txt | decipher -k KEY - - | less\n",
    "Crypt.txt",
    "Decrypt.txt"};

// The output is made at the start of every run, this one too, but never when it is an
// existing input under another name: that would empty the ciphertext.
int fail_to_open_input(const run_request& request) {
    const int input_errno = open_failure(request.input_name, errno);
    // A directory is there, but some systems will not open it at all.
    if (input_errno != EISDIR)
        std::fputs("No file :(\n", console());
    report_errno(tool.program, request.input_name, input_errno);
    std::FILE* out = nullptr;
    if (std::strcmp(request.output_name, "-") != 0 &&
        !same_file(request.input_name, request.output_name)) {
        out = open_file(request.output_name, "wb");
        if (out == nullptr)
            report_errno(tool.program, request.output_name,
                         open_failure(request.output_name, errno));
        // A link that led to the missing input has just made it: take that back.
        if (out != nullptr && input_errno == ENOENT &&
            same_file(request.input_name, request.output_name)) {
            std::fclose(out);
            out = nullptr;
            remove_file(request.input_name);
        }
    }
    return finish_run(tool.program, nullptr, out, request.output_name, 1);
}

int decipher_run(const run_request& request) {
    const char* in_name = request.input_name;
    const char* out_name = request.output_name;

    std::FILE* in = open_named_input(in_name);
    if (in == nullptr)
        return fail_to_open_input(request);
    std::FILE* out = open_output_apart(tool.program, in, in_name, out_name);
    if (out == nullptr)
        return finish_run(tool.program, in, nullptr, out_name, 1);
    if (is_directory(in)) {
        report_errno(tool.program, in_name, EISDIR);
        return finish_run(tool.program, in, out, out_name, 1);
    }
    letter_reader reader = make_letter_reader(in);
    if (refuse_text(tool.program, in_name, reader))
        return finish_run(tool.program, in, out, out_name, 1);

    std::array<std::int32_t, max_key_length> order{};
    const int n = get_key(tool.program, request.key, order);
    if (n == 0)
        return finish_run(tool.program, in, out, out_name, 1);

    const auto buffer = make_io_buffer(io_chunk_size);
    const stream_fault fault =
        decipher_stream(reader, out, order.data(), n, buffer.get(), io_chunk_size);
    return finish_run(tool.program, in, out, out_name,
                      stream_status(tool.program, fault, in_name, out_name));
}

} // namespace

int run_decipher(int argc, char** argv) {
    return run_guarded(tool, decipher_run, argc, argv);
}
