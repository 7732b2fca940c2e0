// Strict UTF-8, byte by byte: no overlong forms, no surrogates, nothing above U+10FFFF. Every
// reader of UTF-8 here holds to these two rules.
#pragma once

#include <cstdint>

// The bytes of a character by its first byte: 1 for ASCII, 2 to 4, or 0 for a byte that starts
// none (a continuation byte, C0, C1, F5..FF).
constexpr std::uint8_t utf8_length(std::uint8_t lead) {
    return lead < 0x80   ? 1
           : lead < 0xC2 ? 0
           : lead < 0xE0 ? 2
           : lead < 0xF0 ? 3
           : lead < 0xF5 ? 4
                         : 0;
}

// The range a continuation byte must be in. The second byte's depends on the lead: after E0 and
// F0 a lower one would be overlong, after ED a higher one a surrogate, after F4 above U+10FFFF.
struct utf8_byte_range {
    std::uint8_t low;
    std::uint8_t high;
};

constexpr utf8_byte_range utf8_continuation(std::uint8_t lead, bool second) {
    if (!second)
        return {0x80, 0xBF};
    return {lead == 0xE0   ? std::uint8_t{0xA0}
            : lead == 0xF0 ? std::uint8_t{0x90}
                           : std::uint8_t{0x80},
            lead == 0xED   ? std::uint8_t{0x9F}
            : lead == 0xF4 ? std::uint8_t{0x8F}
                           : std::uint8_t{0xBF}};
}
