#include "app/run_encipher.hpp"

#include "app/platform.hpp"
#include "app/tool.hpp"
#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/transposition.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr const char* program = "encipher";
constexpr const char* input_name = "Plain.txt";
constexpr const char* output_name = "Crypt.txt";
constexpr const char* usage =
    "Usage: encipher [--help | --version]\n"
    "Enciphers the letters of Plain.txt in the current folder into Crypt.txt, with the key word\n"
    "read from standard input; decipher with the same key gives them back.\n";

// Where the ciphertext goes: a regular Crypt.txt, or none, is replaced by a new file once that
// is whole; a named pipe or a device is written in place, since nothing could take its place.
struct destination {
    std::FILE* file = nullptr;
    std::string temp_name; // empty when writing in place
};

// Opens the destination before the key is asked, so that a run that cannot write it asks
// nothing. Reports and returns a null file on failure.
destination open_destination() {
    destination out;
    const file_kind kind = kind_of(output_name);
    if (kind == file_kind::directory) {
        report_errno(program, output_name, EISDIR);
        return out;
    }
    out.file = kind == file_kind::special ? open_unemptied(output_name)
                                          : create_beside(output_name, out.temp_name);
    if (out.file == nullptr)
        report_errno(program, output_name, open_failure(output_name, errno));
    return out;
}

// Ends the run: puts a whole ciphertext in place, or on failure leaves the old Crypt.txt as it
// was. Standard output is checked first, so that a run that reports a failure changes nothing.
int finish_destination(std::FILE* in, destination& out, int status) {
    if (status == 0)
        if (const int error = flush_standard_output(); error != 0) {
            report_errno(program, "standard output", error);
            status = 1;
        }
    if (out.temp_name.empty())
        return finish_run(program, in, out.file, output_name, status);
    if (status == 0 && !commit_beside(out.file, out.temp_name, output_name)) {
        report_errno(program, output_name, write_failure(errno));
        status = 1;
        out.file = nullptr;
    }
    if (status != 0)
        discard_beside(out.file, out.temp_name);
    return finish_run(program, in, nullptr, output_name, status);
}

int encipher_run(int argc, char** argv) {
    guard_standard_streams();
    if (const int status = handle_arguments(program, argc, argv, usage); status >= 0)
        return status;

    std::FILE* in = open_input(program, input_name);
    if (in == nullptr)
        return finish_run(program, nullptr, nullptr, output_name, 1);
    if (same_file(in, output_name)) {
        std::fprintf(stderr, "%s: %s and %s are the same file\n", program, input_name, output_name);
        return finish_run(program, in, nullptr, output_name, 1);
    }
    destination out = open_destination();
    if (out.file == nullptr)
        return finish_run(program, in, nullptr, output_name, 1);

    std::array<std::int32_t, max_key_length> order{};
    const int n = ask_key(program, order);
    if (n == 0)
        return finish_destination(in, out, 1);
    if (n == 1)
        std::fprintf(stderr, "%s: a key of one character leaves the letters in order\n", program);

    const auto buffer = make_io_buffer(io_chunk_size);
    letter_reader reader = make_letter_reader(in);
    const stream_fault fault =
        encipher_stream(reader, out.file, order.data(), n, buffer.get(), io_chunk_size);
    return finish_destination(in, out, stream_status(program, fault, input_name, output_name));
}

} // namespace

int run_encipher(int argc, char** argv) {
    return run_guarded(program, encipher_run, argc, argv);
}
