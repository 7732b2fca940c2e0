// Any bytes as "Crypt.txt", read through the tool's readers with letter and block counts taken
// from the input, in turn: the letters read are the bytes 0xC0..0xFF, in order.
#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"
#include "fuzz_input.hpp"
#include "tests/simd_levels.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t wanted = 1U + data[0];
    const int n = 1 + data[1] % max_key_length;
    const std::size_t blocks = 1U + data[1] / max_key_length % 4;
    bytes content(data + 2, size - 2);
    const bytes letters = letters_in(content);

    for_each_simd_level([&](simd_level) {
        std::FILE* stream = stream_over(content);
        bytes read;
        bytes block(std::max(block_letters(n) * blocks, wanted), 0);
        for (bool by_blocks = false;; by_blocks = !by_blocks) {
            const std::size_t asked = by_blocks ? block_letters(n) * blocks : wanted;
            const std::size_t got = by_blocks ? read_block(stream, block.data(), n, blocks)
                                              : read_letters(stream, block.data(), wanted);
            read.append(block.data(), got);
            if (got < asked)
                break;
        }
        require(read == letters);
        require(std::feof(stream) != 0 && std::ferror(stream) == 0);
        std::fclose(stream);
    });
    return 0;
}
