// The I/O floor as one program: reads IN once in chunks of io_chunk_size and writes the first
// COUNT bytes of it to OUT, emptied first, as the tool writes its plaintext. No work between
// the copies, so the tool's time over this is what its work and its waits cost.
#include "cipher/letter_reader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: copy_floor IN OUT COUNT\n", stderr);
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    std::FILE* out = std::fopen(argv[2], "wb");
    if (in == nullptr || out == nullptr) {
        std::perror("copy_floor");
        return 1;
    }
    auto left = static_cast<std::uint64_t>(std::strtoull(argv[3], nullptr, 10));
    const auto buffer = make_io_buffer(io_chunk_size);
    for (;;) {
        const std::size_t got = std::fread(buffer.get(), 1, io_chunk_size, in);
        const auto put = static_cast<std::size_t>(std::min<std::uint64_t>(left, got));
        if (std::fwrite(buffer.get(), 1, put, out) != put) {
            std::perror("copy_floor");
            return 1;
        }
        left -= put;
        if (got < io_chunk_size)
            break;
    }
    const bool failed = std::ferror(in) != 0;
    return std::fclose(out) == 0 && std::fclose(in) == 0 && !failed ? 0 : 1;
}
