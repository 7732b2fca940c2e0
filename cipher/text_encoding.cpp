#include "cipher/text_encoding.hpp"

#include "cipher/alphabet.hpp"
#include "cipher/letter_kernels.hpp"

#include <algorithm>

namespace {

// The fewest Cyrillic characters that make a text with malformed bytes UTF-8.
constexpr std::size_t least_cyrillic = 4;
// One malformed byte is allowed for each full such number of bytes above 0x7F.
constexpr std::size_t bytes_per_malformed = 64;

// Of the units judged, how many have a byte that could be the high byte of ASCII or Russian
// on the side `high` (1: the second byte of each unit).
std::size_t plausible_units(std::span<const std::uint8_t> units, std::size_t high) {
    const std::size_t count = std::min(units.size() / 2, utf16_units_judged);
    std::size_t plausible = 0;
    for (std::size_t k = 0; k < count; ++k)
        plausible += utf16_high_byte(units[2 * k + high]) ? 1U : 0U;
    return plausible;
}

// The mark alone is an empty text as Notepad saves it in "Unicode".
bool looks_like_utf16(std::span<const std::uint8_t> units, bool little_endian) {
    if (units.empty())
        return true;
    const std::size_t count = std::min(units.size() / 2, utf16_units_judged);
    return count > 0 && 2 * plausible_units(units, little_endian ? 1U : 0U) > count;
}

} // namespace

byte_order_mark find_byte_order_mark(std::span<const std::uint8_t> start) {
    const std::size_t size = start.size();
    if (size >= utf8_mark.size() && std::equal(utf8_mark.begin(), utf8_mark.end(), start.begin()))
        return {true, text_encoding::utf8, utf8_mark.size()};
    const bool little = size >= 2 && start[0] == 0xFF && start[1] == 0xFE;
    const bool big = size >= 2 && start[0] == 0xFE && start[1] == 0xFF;
    if ((little || big) && looks_like_utf16(start.subspan(2), little))
        return {true, text_encoding::utf16, 2};
    return {false, text_encoding::windows_1251, 0};
}

bool is_unmarked_utf16(std::span<const std::uint8_t> start) {
    const std::size_t count = std::min(start.size() / 2, utf16_units_judged);
    if (count < 2 || !(utf16_high_byte(start[0]) || utf16_high_byte(start[1])))
        return false;
    // In step: one side of the units mostly such bytes, the other mostly not, which a run of
    // zero bytes is not.
    const std::size_t even = plausible_units(start, 0);
    const std::size_t odd = plausible_units(start, 1);
    return (2 * even > count && 2 * odd < count) || (2 * odd > count && 2 * even < count);
}

text_encoding judge_text(std::span<const std::uint8_t> start, bool at_end, std::size_t judged) {
    std::size_t end = 0;
    std::size_t high = 0;
    for (; end < start.size() && high < judged; ++end)
        high += start[end] >= 0x80 ? 1U : 0U;
    if (high == 0)
        return text_encoding::windows_1251;
    const bool goes_on =
        !at_end || std::any_of(start.begin() + static_cast<std::ptrdiff_t>(end), start.end(),
                               [](std::uint8_t b) { return b >= 0x80; });
    // With nothing above 0x7F after the judged bytes, the rest is ASCII and is judged too: a lead
    // byte that ends the judged bytes is then cut by the end, or malformed by what follows it.
    if (!goes_on)
        end = start.size();
    utf8_check check;
    check_utf8(start.data(), end, check);
    // A lead byte D0..D3 is never a continuation, so each one with a continuation after it is a
    // well-formed character U+0400..U+04FF, and each such character is one.
    std::size_t cyrillic = 0;
    for (std::size_t i = 1; i < end; ++i)
        cyrillic +=
            start[i - 1] >= 0xD0 && start[i - 1] <= 0xD3 && start[i] >= 0x80 && start[i] <= 0xBF
                ? 1U
                : 0U;
    const bool cut_at_end = check.need > 0 && !goes_on;
    const bool well_formed = check.malformed == 0 && !cut_at_end;
    const bool mostly_cyrillic =
        cyrillic >= least_cyrillic && check.malformed <= high / bytes_per_malformed;
    return well_formed || mostly_cyrillic ? text_encoding::utf8 : text_encoding::windows_1251;
}

text_encoding decide_encoding(std::span<const std::uint8_t> start, bool at_end,
                              std::size_t judged) {
    const byte_order_mark mark =
        find_byte_order_mark(start.first(std::min(start.size(), mark_window)));
    if (mark.found)
        return mark.encoding;
    if (is_unmarked_utf16(start.first(std::min(start.size(), 2 * utf16_units_judged))))
        return text_encoding::utf16;
    return judge_text(start, at_end, judged);
}
