#include "app/run_encipher.hpp"

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
#include <string>

namespace {

constexpr tool_interface tool = {
    "encipher",
    true,
    "[PLAIN [CRYPT]]",
    "Enciphers the letters of PLAIN (default Plain.txt) into CRYPT (default Crypt.txt) with\n"
    "the key word KEY, or one read from standard input after a prompt; decipher with the same\n"
    "key gives them back. A file named - is standard input or output; text from standard\n"
    "input needs -k. CRYPT is replaced only by a whole ciphertext. Files may be Windows-1251\n"
    "or UTF-8; the output takes the input's encoding. For example:\n"
    "  encipher -k KEY letter.txt - | decipher -k KEY - -\n",
    "Plain.txt",
    "Crypt.txt"};

// Where the ciphertext goes: a regular file, or none, is replaced by a new file once that is
// whole; standard output, a named pipe or a device is written in place, since nothing could
// take its place.
struct destination {
    const char* name;
    std::FILE* file = nullptr;
    std::string temp_name; // empty when writing in place
};

// Opens the destination before the key is asked, so that a run that cannot write it asks
// nothing. Reports and returns a null file on failure.
destination open_destination(std::FILE* in, const run_request& request) {
    destination out{request.output_name, nullptr, {}};
    if (std::strcmp(out.name, "-") == 0) {
        out.file = open_output_apart(tool.program, in, request.input_name, out.name);
        return out;
    }
    const file_kind kind = kind_of(out.name);
    if (kind == file_kind::directory) {
        report_errno(tool.program, out.name, EISDIR);
        return out;
    }
    out.file = kind == file_kind::special ? open_unemptied(out.name)
                                          : create_beside(out.name, out.temp_name);
    if (out.file == nullptr)
        report_errno(tool.program, out.name, open_failure(out.name, errno));
    return out;
}

// Ends the run: puts a whole ciphertext in place, or on failure leaves the old one as it was.
// Standard output is checked first, so that a run that reports a failure changes nothing.
int finish_destination(std::FILE* in, destination& out, int status) {
    if (status == 0)
        if (const int error = flush_standard_output(); error != 0) {
            report_errno(tool.program, "standard output", error);
            status = 1;
        }
    if (out.temp_name.empty())
        return finish_run(tool.program, in, out.file, out.name, status);
    if (status == 0 && !commit_beside(out.file, out.temp_name, out.name)) {
        report_errno(tool.program, out.name, write_failure(errno));
        status = 1;
        out.file = nullptr;
    }
    if (status != 0)
        discard_beside(out.file, out.temp_name);
    return finish_run(tool.program, in, nullptr, out.name, status);
}

int encipher_run(const run_request& request) {
    const char* in_name = request.input_name;

    std::FILE* in = open_input(tool.program, in_name);
    if (in == nullptr)
        return finish_run(tool.program, nullptr, nullptr, nullptr, 1);
    letter_reader reader = make_letter_reader(in);
    if (refuse_text(tool.program, in_name, reader))
        return finish_run(tool.program, in, nullptr, nullptr, 1);
    if (std::strcmp(request.output_name, "-") != 0 && same_file(in, request.output_name)) {
        std::fprintf(stderr, "%s: %s and %s are the same file\n", tool.program,
                     shown_input_name(in_name), request.output_name);
        return finish_run(tool.program, in, nullptr, nullptr, 1);
    }
    destination out = open_destination(in, request);
    if (out.file == nullptr)
        return finish_run(tool.program, in, nullptr, nullptr, 1);

    std::array<std::int32_t, max_key_length> order{};
    const int n = get_key(tool.program, request.key, order);
    if (n == 0)
        return finish_destination(in, out, 1);
    if (n == 1)
        std::fprintf(stderr, "%s: a key of one character leaves the letters in order\n",
                     tool.program);

    const auto buffer = make_io_buffer(io_chunk_size);
    std::uint64_t letters = 0;
    const stream_fault fault =
        encipher_stream(reader, out.file, order.data(), n, buffer.get(), io_chunk_size, &letters);
    int status = stream_status(tool.program, fault, in_name, out.name);
    // A text with no letters would leave an empty ciphertext in place of the old one.
    if (status == 0 && letters == 0) {
        report(tool.program, shown_input_name(in_name), "no letters");
        status = 1;
    }
    return finish_destination(in, out, status);
}

} // namespace

int run_encipher(int argc, char** argv) {
    return run_guarded(tool, encipher_run, argc, argv);
}
