#include "cipher/letter_kernels.hpp"

#include "cipher/simd.hpp"
#include "cipher/utf8_rules.hpp"

#include <array>
#include <iterator>

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

// Takes UTF-8 letters from bytes[from, size) while there is room, a byte at a time; kept letters
// are already stored. Branch-free but for the loop, as keep_letters_from.
utf8_progress take_utf8_letters_from(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                                     std::uint8_t previous, std::uint8_t* letters, std::size_t kept,
                                     std::size_t room) {
    std::size_t i = from;
    for (; i < size && kept < room; ++i) {
        const std::uint8_t b = bytes[i];
        const bool letter = (previous == 0xD0 && b >= 0x90 && b <= 0xBF) ||
                            (previous == 0xD1 && b >= 0x80 && b <= 0x8F);
        letters[kept] = static_cast<std::uint8_t>(b + (previous == 0xD0 ? 0x30U : 0x70U));
        kept += letter ? 1U : 0U;
        previous = b;
    }
    return {kept, i};
}

// Checks bytes[from, size) a byte at a time.
void check_utf8_from(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                     utf8_check& check) {
    for (std::size_t i = from; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        if (check.need > 0) {
            const utf8_byte_range range = utf8_continuation(check.lead, check.held == 1);
            if (b >= range.low && b <= range.high) {
                ++check.held;
                if (--check.need == 0) {
                    check.lead = 0;
                    check.held = 0;
                }
                continue;
            }
            check.malformed += check.held;
            check.lead = 0;
            check.held = 0;
            check.need = 0;
        }
        if (b < 0x80)
            continue;
        const std::uint8_t length = utf8_length(b);
        if (length == 0) {
            ++check.malformed;
            continue;
        }
        check.lead = b;
        check.held = 1;
        check.need = static_cast<std::uint8_t>(length - 1);
    }
}

} // namespace

std::size_t keep_letters_scalar(std::uint8_t* bytes, std::size_t size) {
    return keep_letters_from(bytes, 0, size, 0);
}

utf8_progress take_utf8_letters_scalar(const std::uint8_t* bytes, std::size_t size,
                                       std::uint8_t previous, std::uint8_t* letters,
                                       std::size_t room) {
    return take_utf8_letters_from(bytes, 0, size, previous, letters, 0, room);
}

std::size_t encode_utf8_scalar(const std::uint8_t* text, std::size_t size, std::uint8_t* out) {
    std::uint8_t* const begin = out;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = text[i];
        if (is_letter_byte(b)) { // А..п are U+0410..U+043F, р..я U+0440..U+044F
            *out++ = b >= 0xF0 ? 0xD1 : 0xD0;
            *out++ = static_cast<std::uint8_t>(b - (b >= 0xF0 ? 0x70U : 0x30U));
        } else {
            *out++ = b;
        }
    }
    return static_cast<std::size_t>(out - begin);
}

void check_utf8_scalar(const std::uint8_t* bytes, std::size_t size, utf8_check& check) {
    check_utf8_from(bytes, 0, size, check);
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

constexpr char byte_value(unsigned b) {
    return static_cast<char>(static_cast<signed char>(b));
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

// 32 (64) bytes at a time, each lined up with the byte before it by shifting in the vector
// before, which stays in a register; the pairs merged, then the letters compacted as
// keep_letters does. A step yields at most a quarter of its width in letters and stores no
// further than that past kept, so it runs only while that much room is left, and the scalar
// tail stops at the room exactly.
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

// v with each byte lined up with the byte before it: each lane shifted by one byte, the low lane
// taking the last byte of last, the vector before.
__attribute__((target("avx2"))) __m256i shifted(__m256i v, __m256i last) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(last, v, 0x21), 15);
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

__attribute__((target("ssse3,popcnt"))) std::size_t
encode_utf8_ssse3(const std::uint8_t* text, std::size_t size, std::uint8_t* out) {
    std::size_t written = 0;
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16)
        written += encode_16(text + i, out + written);
    return written + encode_utf8_scalar(text + i, size - i, out + written); // the short tail
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

// The bits of 64 bytes that a UTF-8 check looks at, bit i for byte i.
struct utf8_masks {
    std::uint64_t high;         // 80..FF
    std::uint64_t continuation; // 80..BF
    std::uint64_t from_e0;      // E0..FF, the lead of three bytes or more
    std::uint64_t from_f0;      // F0..FF, of four
    // C0, C1, F5..FF, never a lead, and E0, ED, F0, F4, whose second byte has a range of its own
    std::uint64_t odd;
};

// What the odd bytes are, looked at only where there are some.
struct utf8_odd_masks {
    std::uint64_t e0, ed, f0, f4;
    std::uint64_t never;    // C0, C1, F5..FF
    std::uint64_t below_a0; // 80..9F
    std::uint64_t below_90; // 80..8F
};

// Bytes of v equal to b.
__attribute__((target("ssse3"))) __m128i equal(__m128i v, unsigned b) {
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(byte_value(b)));
}

__attribute__((target("avx2"))) __m256i equal(__m256i v, unsigned b) {
    return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(byte_value(b)));
}

// Signed, the compares above E0, F0 and F4 take in ASCII too; the sign bit of v leaves it out.
__attribute__((target("ssse3"))) utf8_masks utf8_masks_of(__m128i v) {
    const __m128i continuation = _mm_cmpgt_epi8(_mm_set1_epi8(-64), v);
    const __m128i from_e0 = _mm_and_si128(v, _mm_cmpgt_epi8(v, _mm_set1_epi8(-33)));
    const __m128i from_f0 = _mm_and_si128(v, _mm_cmpgt_epi8(v, _mm_set1_epi8(-17)));
    const __m128i c0_c1 = equal(_mm_and_si128(v, _mm_set1_epi8(byte_value(0xFE))), 0xC0);
    const __m128i e0_f0 = equal(_mm_and_si128(v, _mm_set1_epi8(byte_value(0xEF))), 0xE0);
    const __m128i from_f4 = _mm_and_si128(v, _mm_cmpgt_epi8(v, _mm_set1_epi8(-13)));
    const __m128i odd =
        _mm_or_si128(_mm_or_si128(c0_c1, e0_f0), _mm_or_si128(equal(v, 0xED), from_f4));
    return {static_cast<std::uint64_t>(_mm_movemask_epi8(v)),
            static_cast<std::uint64_t>(_mm_movemask_epi8(continuation)),
            static_cast<std::uint64_t>(_mm_movemask_epi8(from_e0)),
            static_cast<std::uint64_t>(_mm_movemask_epi8(from_f0)),
            static_cast<std::uint64_t>(_mm_movemask_epi8(odd))};
}

__attribute__((target("ssse3"))) std::uint64_t ssse3_bits(__m128i m) {
    return static_cast<std::uint64_t>(_mm_movemask_epi8(m));
}

__attribute__((target("ssse3"))) utf8_odd_masks utf8_odd_masks_of(__m128i v) {
    const __m128i c0_c1 = equal(_mm_and_si128(v, _mm_set1_epi8(byte_value(0xFE))), 0xC0);
    const __m128i from_f5 = _mm_and_si128(v, _mm_cmpgt_epi8(v, _mm_set1_epi8(-12)));
    return {ssse3_bits(equal(v, 0xE0)),
            ssse3_bits(equal(v, 0xED)),
            ssse3_bits(equal(v, 0xF0)),
            ssse3_bits(equal(v, 0xF4)),
            ssse3_bits(_mm_or_si128(c0_c1, from_f5)),
            ssse3_bits(_mm_cmpgt_epi8(_mm_set1_epi8(-96), v)),
            ssse3_bits(_mm_cmpgt_epi8(_mm_set1_epi8(-112), v))};
}

__attribute__((target("avx2"))) std::uint64_t avx2_bits(__m256i m) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
}

__attribute__((target("avx2"))) utf8_masks utf8_masks_of(__m256i v) {
    const __m256i continuation = _mm256_cmpgt_epi8(_mm256_set1_epi8(-64), v);
    const __m256i from_e0 = _mm256_and_si256(v, _mm256_cmpgt_epi8(v, _mm256_set1_epi8(-33)));
    const __m256i from_f0 = _mm256_and_si256(v, _mm256_cmpgt_epi8(v, _mm256_set1_epi8(-17)));
    const __m256i c0_c1 = equal(_mm256_and_si256(v, _mm256_set1_epi8(byte_value(0xFE))), 0xC0);
    const __m256i e0_f0 = equal(_mm256_and_si256(v, _mm256_set1_epi8(byte_value(0xEF))), 0xE0);
    const __m256i from_f4 = _mm256_and_si256(v, _mm256_cmpgt_epi8(v, _mm256_set1_epi8(-13)));
    const __m256i odd =
        _mm256_or_si256(_mm256_or_si256(c0_c1, e0_f0), _mm256_or_si256(equal(v, 0xED), from_f4));
    return {avx2_bits(v), avx2_bits(continuation), avx2_bits(from_e0), avx2_bits(from_f0),
            avx2_bits(odd)};
}

__attribute__((target("avx2"))) utf8_odd_masks utf8_odd_masks_of(__m256i v) {
    const __m256i c0_c1 = equal(_mm256_and_si256(v, _mm256_set1_epi8(byte_value(0xFE))), 0xC0);
    const __m256i from_f5 = _mm256_and_si256(v, _mm256_cmpgt_epi8(v, _mm256_set1_epi8(-12)));
    return {avx2_bits(equal(v, 0xE0)),
            avx2_bits(equal(v, 0xED)),
            avx2_bits(equal(v, 0xF0)),
            avx2_bits(equal(v, 0xF4)),
            avx2_bits(_mm256_or_si256(c0_c1, from_f5)),
            avx2_bits(_mm256_cmpgt_epi8(_mm256_set1_epi8(-96), v)),
            avx2_bits(_mm256_cmpgt_epi8(_mm256_set1_epi8(-112), v))};
}

// Masks a and b of two neighbouring runs of bytes, a first, as one of width `shift` + b's.
utf8_masks joined(const utf8_masks& a, const utf8_masks& b, unsigned shift) {
    return {a.high | b.high << shift, a.continuation | b.continuation << shift,
            a.from_e0 | b.from_e0 << shift, a.from_f0 | b.from_f0 << shift, a.odd | b.odd << shift};
}

utf8_odd_masks joined(const utf8_odd_masks& a, const utf8_odd_masks& b, unsigned shift) {
    return {a.e0 | b.e0 << shift,
            a.ed | b.ed << shift,
            a.f0 | b.f0 << shift,
            a.f4 | b.f4 << shift,
            a.never | b.never << shift,
            a.below_a0 | b.below_a0 << shift,
            a.below_90 | b.below_90 << shift};
}

// Whether what check has open can be carried as the continuation bytes still due: not when
// the lead alone is in and its second byte has a range of its own.
bool carried_as_bits(const utf8_check& check) {
    const bool odd_lead =
        check.lead == 0xE0 || check.lead == 0xED || check.lead == 0xF0 || check.lead == 0xF4;
    return check.need == 0 || check.held > 1 || !odd_lead;
}

// Whether 64 bytes whose masks are m have, the first `due` bits (from before them) included,
// continuation bytes exactly where their leads want them: a lead or ASCII where one is due, or
// one where none is, shows in the comparison.
bool continued(const utf8_masks& m, std::uint64_t due) {
    const std::uint64_t leads = m.high & ~m.continuation;
    return m.continuation == (leads << 1 | m.from_e0 << 2 | m.from_f0 << 3 | due);
}

// The continuation bytes such 64 bytes leave due in the 64 after them.
std::uint64_t due_after(const utf8_masks& m) {
    return (m.high & ~m.continuation) >> 63 | m.from_e0 >> 62 | m.from_f0 >> 61;
}

// Whether the odd bytes of 64 so continued are leads whose second bytes are in range, none of
// them the last byte (whose second byte the next 64 would have to be checked for).
bool odd_leads_fit(const utf8_odd_masks& o, const utf8_masks& m) {
    const std::uint64_t out_of_range =
        (o.e0 << 1 & o.below_a0) | (o.ed << 1 & m.continuation & ~o.below_a0) |
        (o.f0 << 1 & o.below_90) | (o.f4 << 1 & m.continuation & ~o.below_90);
    return o.never == 0 && (o.e0 | o.ed | o.f0 | o.f4) >> 63 == 0 && out_of_range == 0;
}

// Where check stands after well-formed bytes that end at end, due bits still due.
void after_well_formed(utf8_check& check, std::uint64_t due, const std::uint8_t* end) {
    const auto need = static_cast<std::uint8_t>(__builtin_popcountll(due));
    std::uint8_t held = 0;
    if (need > 0)
        while ((end[-1 - held] & 0xC0U) == 0x80)
            ++held;
    check.lead = need > 0 ? end[-1 - held] : 0;
    check.held = need > 0 ? static_cast<std::uint8_t>(held + 1) : 0;
    check.need = need;
}

// Well-formed text is checked 64 bytes at a time, what is open carried in a register; 64 bytes
// with anything else, or that begin on a lead whose second byte has a range of its own, a byte
// at a time.
template <typename Masks>
__attribute__((always_inline)) inline void
check_utf8_blocks(const std::uint8_t* bytes, std::size_t size, utf8_check& check, Masks masks) {
    std::size_t i = 0;
    while (i + 64 <= size) {
        if (carried_as_bits(check)) {
            std::uint64_t due = (std::uint64_t{1} << check.need) - 1;
            const std::size_t first = i;
            for (; i + 64 <= size; i += 64) {
                const utf8_masks m = masks(bytes + i);
                if (!continued(m, due) || (m.odd != 0 && !odd_leads_fit(masks.odd(bytes + i), m)))
                    break;
                due = due_after(m);
            }
            if (i > first)
                after_well_formed(check, due, bytes + i);
            if (i + 64 > size)
                break;
        }
        check_utf8_from(bytes, i, i + 64, check);
        i += 64;
    }
    check_utf8_from(bytes, i, size, check); // the short tail
}

// The masks of 64 bytes, inlined where the vector level allows.
struct ssse3_masks {
    template <typename Of>
    __attribute__((target("ssse3"))) static auto of(const std::uint8_t* at, Of masks_of) {
        auto m = masks_of(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
        for (unsigned k = 16; k < 64; k += 16)
            m = joined(m, masks_of(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k))), k);
        return m;
    }
    __attribute__((target("ssse3"))) utf8_masks operator()(const std::uint8_t* at) const {
        return of(
            at, [](__m128i v) __attribute__((target("ssse3"))) { return utf8_masks_of(v); });
    }
    __attribute__((target("ssse3"))) utf8_odd_masks odd(const std::uint8_t* at) const {
        return of(
            at, [](__m128i v) __attribute__((target("ssse3"))) { return utf8_odd_masks_of(v); });
    }
};

struct avx2_masks {
    __attribute__((target("avx2"))) utf8_masks operator()(const std::uint8_t* at) const {
        return joined(utf8_masks_of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at))),
                      utf8_masks_of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32))),
                      32);
    }
    __attribute__((target("avx2"))) utf8_odd_masks odd(const std::uint8_t* at) const {
        return joined(
            utf8_odd_masks_of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at))),
            utf8_odd_masks_of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32))), 32);
    }
};

__attribute__((target("ssse3"))) void check_utf8_ssse3(const std::uint8_t* bytes, std::size_t size,
                                                       utf8_check& check) {
    check_utf8_blocks(bytes, size, check, ssse3_masks{});
}

__attribute__((target("avx2"))) void check_utf8_avx2(const std::uint8_t* bytes, std::size_t size,
                                                     utf8_check& check) {
    check_utf8_blocks(bytes, size, check, avx2_masks{});
}

} // namespace
#endif

namespace {

// The paths of one level.
struct letter_kernels {
    std::size_t (*keep_letters)(std::uint8_t*, std::size_t);
    utf8_progress (*take_utf8_letters)(const std::uint8_t*, std::size_t, std::uint8_t,
                                       std::uint8_t*, std::size_t);
    std::size_t (*encode_utf8)(const std::uint8_t*, std::size_t, std::uint8_t*);
    void (*check_utf8)(const std::uint8_t*, std::size_t, utf8_check&);
};

// By simd_level.
constexpr letter_kernels kernel_table[] = {
    {keep_letters_scalar, take_utf8_letters_scalar, encode_utf8_scalar, check_utf8_scalar},
#if DECIPHER_X86
    {keep_letters_ssse3, take_utf8_letters_ssse3, encode_utf8_ssse3, check_utf8_ssse3},
    {keep_letters_avx2, take_utf8_letters_avx2, encode_utf8_avx2, check_utf8_avx2},
#endif
};

const letter_kernels& kernels() {
    const auto level = static_cast<std::size_t>(simd_in_use());
    return kernel_table[level < std::size(kernel_table) ? level : 0];
}

} // namespace

std::size_t keep_letters(std::uint8_t* bytes, std::size_t size) {
    return kernels().keep_letters(bytes, size);
}

utf8_progress take_utf8_letters(const std::uint8_t* bytes, std::size_t size, std::uint8_t previous,
                                std::uint8_t* letters, std::size_t room) {
    return kernels().take_utf8_letters(bytes, size, previous, letters, room);
}

std::size_t encode_utf8(const std::uint8_t* text, std::size_t size, std::uint8_t* out) {
    return kernels().encode_utf8(text, size, out);
}

void check_utf8(const std::uint8_t* bytes, std::size_t size, utf8_check& check) {
    kernels().check_utf8(bytes, size, check);
}
