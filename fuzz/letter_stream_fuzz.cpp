// Any bytes as "Crypt.txt", read through the tool's reader in chunks of a size taken from the
// input (small ones reach every boundary), with letter and block counts taken from the input, in
// turn: the letters read, and the bytes skipped, are those of the slow reference, which decides
// the encoding by its rule on the whole text and then decodes it a character at a time.
#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp"
#include "fuzz_input.hpp"
#include "tests/simd_levels.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::size_t wanted = 1U + data[0];
    const int n = 1 + data[1] % max_key_length;
    const std::size_t blocks = 1U + data[1] / max_key_length % 4;
    const std::size_t chunk = data[2] < 0xF0 ? 8U + data[2] : io_chunk_size;
    bytes content(data + 3, size - 3);
    text_encoding encoding{};
    std::size_t skipped = 0;
    const bytes letters = reference_letters(content, chunk / 4, &encoding, &skipped);

    for_each_simd_level([&](simd_level) {
        std::FILE* stream = stream_over(content);
        letter_reader reader = make_letter_reader(stream, chunk);
        bytes read;
        bytes block(std::max(block_letters(n) * blocks, wanted), 0);
        for (bool by_blocks = false;; by_blocks = !by_blocks) {
            const std::size_t asked = by_blocks ? block_letters(n) * blocks : wanted;
            const std::size_t got =
                by_blocks ? read_letters(reader, block.data(), block_letters(n) * blocks)
                          : read_letters(reader, block.data(), wanted);
            read.append(block.data(), got);
            if (got < asked)
                break;
        }
        require(read == letters);
        require(reader.encoding == encoding);
        require(skipped_bytes(reader) == skipped);
        require(!reader_failed(reader));
        std::fclose(stream);
    });
    return 0;
}
