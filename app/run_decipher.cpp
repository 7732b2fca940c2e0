#include "app/run_decipher.hpp"

#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* input_name = "Crypt.txt";
constexpr const char* output_name = "Decrypt.txt";

void report(const char* what, const char* reason) {
    std::fprintf(stderr, "decipher: %s: %s\n", what, reason);
}

void report_errno(const char* what, int error) {
    report(what, std::strerror(error));
}

// A closed descriptor 0, 1 or 2 would be handed to the next fopen, and the key would then be
// read from, or the prompt written into, one of our files. Reopened against the grain on
// /dev/null, it fails every use just as a closed one would.
void keep_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
}

// Reads one line and keeps at most max_key_length bytes of it as typed, blanks included; a CR
// before the line feed belongs to the line break. Returns the key length, or -1 on a read error.
int read_key_word(std::FILE* console, std::array<char, max_key_length + 1>& key) {
    // One byte more than a key holds, to see a CR that ends a line of a full key.
    std::array<char, max_key_length + 1> line{};
    std::size_t length = 0;
    int ch = 0;
    while (length < line.size() && (ch = std::getc(console)) != EOF && ch != '\n')
        line[length++] = static_cast<char>(ch);
    if (ch == EOF && std::ferror(console))
        return -1;
    if (ch == '\n' && length > 0 && line[length - 1] == '\r')
        --length;
    // The key is a C string: a zero byte typed into the line ends it there.
    length = static_cast<std::size_t>(std::find(line.begin(), line.begin() + length, '\0') -
                                      line.begin());
    length = std::min(length, key.size() - 1);
    std::copy_n(line.begin(), length, key.begin());
    key[length] = '\0';
    return static_cast<int>(length);
}

int close_all(std::FILE* in, std::FILE* out, int status) {
    if (in != nullptr)
        std::fclose(in);
    // A full disk may only show when the last buffered letters go out.
    if (out != nullptr && std::fclose(out) != 0 && status == 0) {
        report_errno(output_name, errno);
        status = 1;
    }
    const bool flushed = std::fflush(stdout) == 0;
    if ((!flushed || std::ferror(stdout)) && status == 0) {
        report("standard output", flushed ? "write error" : std::strerror(errno));
        status = 1;
    }
    return status;
}

} // namespace

int run_decipher() {
    keep_standard_descriptors();

    std::FILE* in = std::fopen(input_name, "r");
    int input_errno = errno;
    std::FILE* out = std::fopen(output_name, "w");
    const int output_errno = errno;
    std::FILE* counting = in != nullptr ? std::fopen(input_name, "r") : nullptr;
    if (in != nullptr && counting == nullptr)
        input_errno = errno;

    const std::int64_t letter_total = count_letters(counting);
    if (letter_total < 0) {
        report_errno(input_name, input_errno);
        return close_all(in, out, 1);
    }
    const bool count_failed = std::ferror(counting) != 0;
    const int count_errno = errno;
    std::fclose(counting);
    if (count_failed) {
        report_errno(input_name, count_errno);
        return close_all(in, out, 1);
    }
    if (out == nullptr) {
        report_errno(output_name, output_errno);
        return close_all(in, out, 1);
    }

    std::fputs("Enter key word: ", stdout);
    std::fflush(stdout);
    std::array<char, max_key_length + 1> key{};
    const int n = read_key_word(stdin, key);
    if (n < 0) {
        report_errno("standard input", errno);
        return close_all(in, out, 1);
    }

    std::array<std::int32_t, max_key_length> order{};
    order_key_columns(order.data(), n, key.data());
    if (n == 0) {
        // A block of no letters would never move through the text.
        report("key word", "empty");
        return close_all(in, out, 1);
    }

    const auto buffer = make_io_buffer(io_chunk_size);
    switch (decipher_stream(in, out, order.data(), n, letter_total, buffer.get(), io_chunk_size)) {
    case stream_fault::none: return close_all(in, out, 0);
    case stream_fault::read: report_errno(input_name, errno); break;
    case stream_fault::write: report_errno(output_name, errno); break;
    case stream_fault::changed: report(input_name, "changed while being read"); break;
    }
    return close_all(in, out, 1);
}
