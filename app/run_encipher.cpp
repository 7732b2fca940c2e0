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

// Whether Crypt.txt is the file in reads, under another name.
bool output_is_input(std::FILE* in) {
    std::FILE* existing = std::fopen(output_name, "rb");
    if (existing == nullptr)
        return false;
    const bool same = same_file(in, existing);
    std::fclose(existing);
    return same;
}

// Writes the ciphertext to a new file and puts it in the place of Crypt.txt only when it is
// whole: Crypt.txt may be the only copy of an earlier ciphertext.
int write_ciphertext(std::FILE* in, const std::int32_t* order, int n) {
    std::string temp_name;
    std::FILE* temp = create_beside(output_name, temp_name);
    if (temp == nullptr) {
        report_errno(program, output_name, errno);
        return 1;
    }
    const auto buffer = make_io_buffer(io_chunk_size);
    letter_reader reader = make_letter_reader(in);
    const stream_fault fault = encipher_stream(reader, temp, order, n, buffer.get(), io_chunk_size);
    if (stream_status(program, fault, input_name, output_name) != 0) {
        std::fclose(temp);
        std::remove(temp_name.c_str());
        return 1;
    }
    // Closed, and so written out, before it takes the old file's place.
    if (std::fclose(temp) != 0 || !replace_file(temp_name.c_str(), output_name)) {
        report_errno(program, output_name, open_failure(output_name, errno));
        std::remove(temp_name.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int run_encipher(int argc, char** argv) {
    guard_standard_streams();
    if (const int status = handle_arguments(program, argc, argv, usage); status >= 0)
        return status;

    std::FILE* in = open_input(program, input_name);
    if (in == nullptr)
        return finish_run(program, nullptr, nullptr, output_name, 1);
    if (output_is_input(in)) {
        std::fprintf(stderr, "%s: %s and %s are the same file\n", program, input_name, output_name);
        return finish_run(program, in, nullptr, output_name, 1);
    }
    std::array<std::int32_t, max_key_length> order{};
    const int n = ask_key(program, order);
    if (n == 0)
        return finish_run(program, in, nullptr, output_name, 1);
    return finish_run(program, in, nullptr, output_name, write_ciphertext(in, order.data(), n));
}
