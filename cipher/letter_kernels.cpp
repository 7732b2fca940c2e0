#include "cipher/letter_kernels.hpp"

#include "cipher/letter_kernels_x86.hpp"
#include "cipher/letter_loops.hpp"
#include "cipher/simd.hpp"
#include "cipher/utf8_rules.hpp"

#include <iterator>

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

std::size_t keep_letters_scalar(std::uint8_t* bytes, std::size_t size) {
    return keep_letters_from(bytes, 0, size, 0);
}

utf8_progress take_utf8_letters_scalar(const std::uint8_t* bytes, std::size_t size,
                                       std::uint8_t previous, std::uint8_t* letters,
                                       std::size_t room) {
    return take_utf8_letters_from(bytes, 0, size, previous, letters, 0, room);
}

std::size_t encode_utf8_scalar(const std::uint8_t* text, std::size_t size, std::uint8_t* out) {
    return encode_utf8_bytes(text, size, out);
}

void check_utf8_scalar(const std::uint8_t* bytes, std::size_t size, utf8_check& check) {
    check_utf8_from(bytes, 0, size, check);
}

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
