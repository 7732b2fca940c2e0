#include "cipher/letter_kernels_x86.hpp"

#if DECIPHER_X86
#include "cipher/letter_loops.hpp"

#include <immintrin.h>

#include <array>

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

// Stores at out the letters of v whose bits are set in mask, in order, and up to 8 bytes of no
// meaning after them; returns how many letters. Each place depends only on out, not on the
// store before it.
__attribute__((target("avx2,popcnt"))) std::size_t store_letters(std::uint8_t* out, __m256i v,
                                                                 unsigned mask) {
    const __m128i low = _mm256_castsi256_si128(v);
    const __m128i high = _mm256_extracti128_si256(v, 1);
    store_letters(out, low, 0, mask & 0xFFU);
    store_letters(out + ones(mask & 0xFFU), low, 1, mask >> 8 & 0xFFU);
    store_letters(out + ones(mask & 0xFFFFU), high, 0, mask >> 16 & 0xFFU);
    store_letters(out + ones(mask & 0xFFFFFFU), high, 1, mask >> 24);
    return ones(mask);
}

// What each byte of v ends when p holds the byte before it: a continuation byte after D0 or D1
// gains 0x30 or 0x70, which makes D0 90..BF and D1 80..8F the letters 0xC0..0xFF and the other
// continuations something under 0xC0; any other byte is zero. Of two neighbours at most one is
// a letter (a letter's byte follows a lead byte, which is no letter's).
__attribute__((target("ssse3"))) __m128i utf8_candidates(__m128i p, __m128i v) {
    // 0 after D0, 1 after D1, 2 after anything else; a lookup by it gives what to add.
    const __m128i lead =
        _mm_min_epu8(_mm_xor_si128(p, _mm_set1_epi8(byte_value(0xD0))), _mm_set1_epi8(2));
    const __m128i add =
        _mm_shuffle_epi8(_mm_setr_epi8(0x30, 0x70, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), lead);
    const __m128i continuation = _mm_cmpgt_epi8(_mm_set1_epi8(-64), v); // 80..BF, signed
    return _mm_and_si128(continuation, _mm_add_epi8(v, add));
}

__attribute__((target("avx2"))) __m256i utf8_candidates(__m256i p, __m256i v) {
    const __m256i lead = _mm256_min_epu8(_mm256_xor_si256(p, _mm256_set1_epi8(byte_value(0xD0))),
                                         _mm256_set1_epi8(2));
    const __m256i add =
        _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(_mm_setr_epi8(0x30, 0x70, 0, 0, 0, 0, 0, 0,
                                                                      0, 0, 0, 0, 0, 0, 0, 0)),
                            lead);
    const __m256i continuation = _mm256_cmpgt_epi8(_mm256_set1_epi8(-64), v);
    return _mm256_and_si256(continuation, _mm256_add_epi8(v, add));
}

// Each 16-bit word's larger byte, in its low half: a letter where the pair holds one, as no
// other candidate reaches 0xC0. That halves what is left to compact.
__attribute__((target("ssse3"))) __m128i merge_pairs(__m128i x) {
    return _mm_and_si128(_mm_max_epu8(x, _mm_srli_epi16(x, 8)), _mm_set1_epi16(0xFF));
}

__attribute__((target("avx2"))) __m256i merge_pairs(__m256i x) {
    return _mm256_and_si256(_mm256_max_epu8(x, _mm256_srli_epi16(x, 8)), _mm256_set1_epi16(0xFF));
}

// v with each byte lined up with the byte before it: each lane shifted by one byte, the low lane
// taking the last byte of last, the vector before.
__attribute__((target("avx2"))) __m256i shifted(__m256i v, __m256i last) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(last, v, 0x21), 15);
}

// Stores 16 bytes of v at out + at, keeping those whose bit is set in keep; returns the new at.
__attribute__((target("ssse3,popcnt"))) std::size_t store_kept(std::uint8_t* out, std::size_t at,
                                                               __m128i v, unsigned keep) {
    store_letters(out + at, v, 0, keep & 0xFFU);
    store_letters(out + at + ones(keep & 0xFFU), v, 1, keep >> 8);
    return at + ones(keep);
}

// Encodes 16 bytes of text at out; returns the bytes written. Every byte becomes a pair, a
// letter's two UTF-8 bytes or the byte and a spare; the pairs are interleaved into two vectors
// and the spares squeezed out. A run of letters needs no squeezing.
__attribute__((target("ssse3,popcnt"))) std::size_t encode_16(const std::uint8_t* text,
                                                              std::uint8_t* out) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    const __m128i letter =
        _mm_cmpgt_epi8(_mm_setzero_si128(), _mm_and_si128(v, _mm_add_epi8(v, v)));
    const __m128i high = _mm_and_si128(letter, _mm_cmpgt_epi8(v, _mm_set1_epi8(-17))); // F0..FF
    const __m128i lead = _mm_sub_epi8(_mm_set1_epi8(byte_value(0xD0)), high);          // D0 or D1
    const __m128i first = _mm_or_si128(_mm_andnot_si128(letter, v), _mm_and_si128(letter, lead));
    const __m128i second = _mm_sub_epi8(
        v, _mm_add_epi8(_mm_set1_epi8(0x30), _mm_and_si128(high, _mm_set1_epi8(0x40))));
    const __m128i low_pairs = _mm_unpacklo_epi8(first, second);
    const __m128i high_pairs = _mm_unpackhi_epi8(first, second);
    if (_mm_movemask_epi8(letter) == 0xFFFF) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low_pairs);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), high_pairs);
        return 32;
    }
    const __m128i all = _mm_set1_epi8(-1);
    const auto keep_low = static_cast<unsigned>(_mm_movemask_epi8(_mm_unpacklo_epi8(all, letter)));
    const auto keep_high = static_cast<unsigned>(_mm_movemask_epi8(_mm_unpackhi_epi8(all, letter)));
    return store_kept(out, store_kept(out, 0, low_pairs, keep_low), high_pairs, keep_high);
}

} // namespace

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
        kept += store_letters(bytes + kept, v, letter_mask(v));
    }
    return keep_letters_from(bytes, i, size, kept); // the short tail
}

// 32 (64) bytes at a time, each lined up with the byte before it by shifting in the vector
// before, which stays in a register; the pairs merged, then the letters compacted as
// keep_letters does. A step yields at most half its width in letters, a letter being two bytes,
// and stores no further than that past kept, so it runs only while that much room is left, and
// the scalar tail stops at the room exactly.
__attribute__((target("ssse3,popcnt"))) utf8_progress
take_utf8_letters_ssse3(const std::uint8_t* bytes, std::size_t size, std::uint8_t previous,
                        std::uint8_t* letters, std::size_t room) {
    std::size_t kept = 0;
    std::size_t i = 0;
    __m128i before = _mm_slli_si128(_mm_cvtsi32_si128(previous), 15);
    for (; i + 32 <= size && room - kept >= 16; i += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16));
        const __m128i from_a = utf8_candidates(_mm_alignr_epi8(a, before, 15), a);
        const __m128i from_b = utf8_candidates(_mm_alignr_epi8(b, a, 15), b);
        before = b;
        const __m128i merged = _mm_packus_epi16(merge_pairs(from_a), merge_pairs(from_b));
        const unsigned mask = letter_mask(merged);
        store_letters(letters + kept, merged, 0, mask & 0xFFU);
        store_letters(letters + kept + ones(mask & 0xFFU), merged, 1, mask >> 8);
        kept += ones(mask);
    }
    return take_utf8_letters_from(bytes, i, size, i > 0 ? bytes[i - 1] : previous, letters, kept,
                                  room);
}

__attribute__((target("avx2,popcnt"))) utf8_progress
take_utf8_letters_avx2(const std::uint8_t* bytes, std::size_t size, std::uint8_t previous,
                       std::uint8_t* letters, std::size_t room) {
    std::size_t kept = 0;
    std::size_t i = 0;
    __m256i before = _mm256_inserti128_si256(_mm256_setzero_si256(),
                                             _mm_slli_si128(_mm_cvtsi32_si128(previous), 15), 1);
    for (; i + 64 <= size && room - kept >= 32; i += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32));
        const __m256i from_a = utf8_candidates(shifted(a, before), a);
        const __m256i from_b = utf8_candidates(shifted(b, a), b);
        before = b;
        // The pack works within lanes; the 64-bit swap puts the quarters back in order.
        const __m256i merged = _mm256_permute4x64_epi64(
            _mm256_packus_epi16(merge_pairs(from_a), merge_pairs(from_b)), 0xD8);
        kept += store_letters(letters + kept, merged, letter_mask(merged));
    }
    return take_utf8_letters_from(bytes, i, size, i > 0 ? bytes[i - 1] : previous, letters, kept,
                                  room);
}

__attribute__((target("ssse3,popcnt"))) std::size_t
encode_utf8_ssse3(const std::uint8_t* text, std::size_t size, std::uint8_t* out) {
    std::size_t written = 0;
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16)
        written += encode_16(text + i, out + written);
    return written + encode_utf8_bytes(text + i, size - i, out + written); // the short tail
}

// 32 letters at a time (decipher's output is nothing else), mixed text 16 bytes at a time. The
// unpacks work within lanes, so the lanes are swapped back in order.
__attribute__((target("avx2,popcnt"))) std::size_t
encode_utf8_avx2(const std::uint8_t* text, std::size_t size, std::uint8_t* out) {
    std::size_t written = 0;
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        if (letter_mask(v) != 0xFFFFFFFFU) {
            written += encode_16(text + i, out + written);
            written += encode_16(text + i + 16, out + written);
            continue;
        }
        const __m256i high = _mm256_cmpgt_epi8(v, _mm256_set1_epi8(-17)); // F0..FF
        const __m256i lead = _mm256_sub_epi8(_mm256_set1_epi8(byte_value(0xD0)), high);
        const __m256i second =
            _mm256_sub_epi8(v, _mm256_add_epi8(_mm256_set1_epi8(0x30),
                                               _mm256_and_si256(high, _mm256_set1_epi8(0x40))));
        const __m256i low_pairs = _mm256_unpacklo_epi8(lead, second);
        const __m256i high_pairs = _mm256_unpackhi_epi8(lead, second);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written),
                            _mm256_permute2x128_si256(low_pairs, high_pairs, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written + 32),
                            _mm256_permute2x128_si256(low_pairs, high_pairs, 0x31));
        written += 64;
    }
    return written + encode_utf8_ssse3(text + i, size - i, out + written);
}

#endif
