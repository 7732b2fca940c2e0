#include "cipher/letter_stream.hpp"

#include "cipher/simd.hpp"

#include <array>
#include <cassert>
#include <memory>

#if DECIPHER_X86
#include <immintrin.h>
#endif

namespace {

// Moves the letters of bytes[from, size) to bytes[kept, ...); returns the new kept.
// Branch-free: every byte is stored, but the write position only moves past letters.
// Writing never overtakes reading (kept <= i), so this works in place.
std::size_t keep_letters_from(std::uint8_t* bytes, std::size_t from, std::size_t size,
                              std::size_t kept) {
    for (std::size_t i = from; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        bytes[kept] = b;
        kept += is_letter_byte(b) ? 1U : 0U;
    }
    return kept;
}

} // namespace

std::size_t keep_letters_scalar(std::uint8_t* bytes, std::size_t size) {
    return keep_letters_from(bytes, 0, size, 0);
}

#if DECIPHER_X86
namespace {

// Shuffles that gather the letters of 8 bytes: entry m of half 0 lists, byte by byte, the
// positions of the set bits of m (bytes 0..7 of a register), half 1 the same plus 8 (bytes
// 8..15); 0x80, which shuffles in a zero, fills the rest.
constexpr auto compaction_shuffles = [] {
    std::array<std::array<std::uint64_t, 256>, 2> shuffles{};
    for (unsigned half = 0; half < 2; ++half)
        for (unsigned mask = 0; mask < 256; ++mask) {
            std::uint64_t& entry = shuffles[half][mask];
            unsigned placed = 0;
            for (unsigned bit = 0; bit < 8; ++bit)
                if ((mask >> bit & 1U) != 0)
                    entry |= std::uint64_t{8 * half + bit} << (8 * placed++);
            for (; placed < 8; ++placed)
                entry |= std::uint64_t{0x80} << (8 * placed);
        }
    return shuffles;
}();

// Stores at out the letters among bytes 8 * half .. 8 * half + 7 of v, whose letter mask is
// mask, and 8 - popcount(mask) bytes of no meaning after them.
__attribute__((target("ssse3"))) void store_letters(std::uint8_t* out, __m128i v, unsigned half,
                                                    unsigned mask) {
    const __m128i pick =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&compaction_shuffles[half][mask]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(v, pick));
}

// Bit i set when byte i of v is a letter. A letter has its top two bits set, and bit 7 of
// v & (v + v) is bit 7 and bit 6 of v together.
__attribute__((target("ssse3"))) unsigned letter_mask(__m128i v) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(v, _mm_add_epi8(v, v))));
}

__attribute__((target("avx2"))) unsigned letter_mask(__m256i v) {
    return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(v, _mm256_add_epi8(v, v))));
}

unsigned ones(unsigned mask) {
    return static_cast<unsigned>(__builtin_popcount(mask));
}

// Every 8 bytes go through a shuffle picked by their mask and are stored 8 wide, at the place
// the letters before them end. Those stores end at most at i + 16 (i + 32), inside the bytes
// already loaded, so the work stays in place.
__attribute__((target("ssse3,popcnt"))) std::size_t keep_letters_ssse3(std::uint8_t* bytes,
                                                                       std::size_t size) {
    std::size_t kept = 0;
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const unsigned mask = letter_mask(v);
        store_letters(bytes + kept, v, 0, mask & 0xFFU);
        store_letters(bytes + kept + ones(mask & 0xFFU), v, 1, mask >> 8);
        kept += ones(mask);
    }
    return keep_letters_from(bytes, i, size, kept); // the short tail
}

__attribute__((target("avx2,popcnt"))) std::size_t keep_letters_avx2(std::uint8_t* bytes,
                                                                     std::size_t size) {
    std::size_t kept = 0;
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const unsigned mask = letter_mask(v);
        const __m128i low = _mm256_castsi256_si128(v);
        const __m128i high = _mm256_extracti128_si256(v, 1);
        // Each place depends only on kept, not on the store before it.
        store_letters(bytes + kept, low, 0, mask & 0xFFU);
        store_letters(bytes + kept + ones(mask & 0xFFU), low, 1, mask >> 8 & 0xFFU);
        store_letters(bytes + kept + ones(mask & 0xFFFFU), high, 0, mask >> 16 & 0xFFU);
        store_letters(bytes + kept + ones(mask & 0xFFFFFFU), high, 1, mask >> 24);
        kept += ones(mask);
    }
    return keep_letters_from(bytes, i, size, kept); // the short tail
}

} // namespace
#endif

std::size_t keep_letters(std::uint8_t* bytes, std::size_t size) {
#if DECIPHER_X86
    switch (simd_in_use()) {
    case simd_level::avx2: return keep_letters_avx2(bytes, size);
    case simd_level::ssse3: return keep_letters_ssse3(bytes, size);
    case simd_level::scalar: break;
    }
#endif
    return keep_letters_scalar(bytes, size);
}

std::size_t read_letters(std::FILE* stream, std::uint8_t* letters, std::size_t wanted) {
    std::size_t taken = 0;
    // Asking for exactly the letters still missing means the raw bytes always fit in the space
    // left, and no letter beyond the last stored one is consumed.
    while (taken < wanted) {
        const std::size_t asked = wanted - taken;
        const std::size_t got = std::fread(letters + taken, 1, asked, stream);
        taken += keep_letters(letters + taken, got);
        if (got < asked) // end of stream or read error
            break;
    }
    return taken;
}

std::size_t read_block(std::FILE* stream, std::uint8_t* block, int n, std::size_t blocks) {
    return read_letters(stream, block, block_letters(n) * blocks);
}
