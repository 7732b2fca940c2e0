#include "app/run_decipher.hpp"

#include "app/platform.hpp"
#include "app/tool.hpp"
#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/transposition.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* program = "decipher";
constexpr const char* input_name = "Crypt.txt";
constexpr const char* output_name = "Decrypt.txt";

// Decrypt.txt is made at the start of every run, this one too, but never when it is an
// existing Crypt.txt under another name: that would empty the ciphertext.
int fail_to_open_input() {
    const int input_errno = open_failure(input_name, errno);
    // A directory is there, but some systems will not open it at all.
    if (input_errno != EISDIR)
        std::fputs("No file :(\n", stdout);
    report_errno(program, input_name, input_errno);
    std::FILE* out = nullptr;
    if (!same_file(input_name, output_name)) {
        out = std::fopen(output_name, "wb");
        if (out == nullptr)
            report_errno(program, output_name, open_failure(output_name, errno));
    }
    return finish_run(program, nullptr, out, output_name, 1);
}

int decipher_run(int, char**) {
    guard_standard_streams();

    std::FILE* in = std::fopen(input_name, "rb");
    if (in == nullptr)
        return fail_to_open_input();
    std::FILE* out = open_output_apart(program, in, input_name, output_name);
    if (out == nullptr)
        return finish_run(program, in, nullptr, output_name, 1);
    if (is_directory(in)) {
        report_errno(program, input_name, EISDIR);
        return finish_run(program, in, out, output_name, 1);
    }

    std::array<std::int32_t, max_key_length> order{};
    const int n = ask_key(program, order);
    if (n == 0)
        return finish_run(program, in, out, output_name, 1);

    const auto buffer = make_io_buffer(io_chunk_size);
    letter_reader reader = make_letter_reader(in);
    const stream_fault fault =
        decipher_stream(reader, out, order.data(), n, buffer.get(), io_chunk_size);
    return finish_run(program, in, out, output_name,
                      stream_status(program, fault, input_name, output_name));
}

} // namespace

int run_decipher(int argc, char** argv) {
    return run_guarded(program, decipher_run, argc, argv);
}
