// Any bytes as "Crypt.txt", read through the tool's readers with chunk and block sizes taken
// from the input: the letters read are the bytes 0xC0..0xFF, in order, and the count is theirs.
#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"
#include "fuzz_input.hpp"
#include "tests/simd_levels.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t chunk = 1U + data[0];
    const int n = 1 + data[1] % max_key_length;
    const std::size_t blocks = 1U + data[1] / max_key_length % 4;
    bytes content(data + 2, size - 2);
    const bytes letters = letters_in(content);

    for_each_simd_level([&](simd_level) {
        std::FILE* stream = stream_over(content);
        require(count_letters(stream, chunk) == static_cast<std::int64_t>(letters.size()));
        require(std::feof(stream) != 0 && std::ferror(stream) == 0);
        std::rewind(stream);
        bytes read;
        bytes block(block_letters(n) * blocks, 0);
        for (std::size_t got = block.size(); got == block.size();) {
            got = read_block(stream, block.data(), n, blocks);
            read.append(block.data(), got);
        }
        require(read == letters);
        std::fclose(stream);
    });
    return 0;
}
