#include "cipher/letter_stream.hpp"

#include <memory>

std::size_t keep_letters(std::uint8_t *bytes, std::size_t size) {
    // Branch-free: every byte is stored, but the write position only moves past letters.
    // Writing never overtakes reading (kept <= i), so this works in place.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        bytes[kept] = b;
        kept += is_letter_byte(b) ? 1U : 0U;
    }
    return kept;
}

std::int64_t count_letters(std::FILE *stream, std::size_t chunk_size) {
    if (stream == nullptr) {
        std::fputs("No file :(\n", stdout);
        return -1;
    }
    const auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(chunk_size);
    std::int64_t count = 0;
    std::size_t got = 0;
    do {
        got = std::fread(chunk.get(), 1, chunk_size, stream);
        std::size_t letters = 0;
        for (std::size_t i = 0; i < got; ++i)
            letters += is_letter_byte(chunk[i]) ? 1U : 0U;
        count += static_cast<std::int64_t>(letters);
    } while (got == chunk_size);
    return count;
}

std::size_t read_block(std::FILE *stream, std::uint8_t *block, int n, std::size_t blocks) {
    const std::size_t wanted = static_cast<std::size_t>(n) * static_cast<std::size_t>(n) * blocks;
    std::size_t taken = 0;
    // Asking for exactly the letters still missing means the raw bytes always fit in the space
    // left, and no letter beyond the last stored one is consumed.
    while (taken < wanted) {
        const std::size_t asked = wanted - taken;
        const std::size_t got = std::fread(block + taken, 1, asked, stream);
        taken += keep_letters(block + taken, got);
        if (got < asked) // end of stream or read error
            break;
    }
    return taken;
}
