#include "cipher/letter_kernels_x86.hpp"

#if DECIPHER_X86
#include "cipher/letter_loops.hpp"

#include <immintrin.h>

namespace {

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

} // namespace

__attribute__((target("ssse3"))) void check_utf8_ssse3(const std::uint8_t* bytes, std::size_t size,
                                                       utf8_check& check) {
    check_utf8_blocks(bytes, size, check, ssse3_masks{});
}

__attribute__((target("avx2"))) void check_utf8_avx2(const std::uint8_t* bytes, std::size_t size,
                                                     utf8_check& check) {
    check_utf8_blocks(bytes, size, check, avx2_masks{});
}

#endif
