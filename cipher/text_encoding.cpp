#include "cipher/text_encoding.hpp"

#include "cipher/alphabet.hpp"
#include "cipher/code_pages.hpp"
#include "cipher/letter_kernels.hpp"

#include <algorithm>
#include <array>
#include <cmath>

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

// Russian letters а..я per 10,000 letters, capitals alike, and ё: how often each is, the usual
// table of the language.
constexpr std::array<double, 32> letters_per_10000 = {
    801, 159, 454, 170, 298, 845, 94, 165, 735, 121, 349, 440, 321, 670, 1097, 281,
    473, 547, 626, 262, 26,  97,  48, 144, 73,  36,  4,   190, 174, 32,  64,   201};
constexpr double yo_per_10000 = 4;
// A byte above 0x7F that is no letter (a dash, a quote, a box-drawing sign) is scored as this
// rare a sign.
constexpr double sign_per_10000 = 78;

// Thresholds for leaving Windows-1251, in bits, measured in bench/code_page_check: the
// other reading must score this much higher in all, and this much per byte above 0x7F, and
// its own score per byte must be no lower than that of random letters read as Russian (-5 when
// each of 32 is as likely; Russian text scores near -4.5). A reading that leads and scores
// no lower than least_leaning_per_byte is named as the likeliest, for the note.
constexpr double least_lead = 12;
constexpr double least_lead_per_byte = 0.3;
constexpr double least_russian_per_byte = -5.0;
constexpr double least_leaning_per_byte = -5.4;
// Two or three bytes tell nothing: no reading is named on fewer.
constexpr std::size_t least_bytes_to_lean = 4;

// What each byte scores under a reading: log2 of how often it comes in Russian.
using byte_scores = std::array<double, 256>;

byte_scores scores_for(const byte_table& to_1251) {
    byte_scores scores{};
    for (std::size_t b = 0x80; b < 256; ++b) {
        const std::uint8_t letter = to_1251[b];
        const double per_10000 = letter >= 0xC0   ? letters_per_10000[letter & 0x1FU]
                                 : letter != 0x00 ? yo_per_10000
                                                  : sign_per_10000;
        scores[b] = std::log2(per_10000 / 10000);
    }
    return scores;
}

byte_table windows_1251_letters() {
    byte_table table{};
    for (std::size_t b = 0xC0; b < 256; ++b)
        table[b] = static_cast<std::uint8_t>(b);
    table[0xA8] = 0xA8;
    table[0xB8] = 0xB8;
    return table;
}

constexpr std::array<text_encoding, 3> single_byte = {text_encoding::windows_1251,
                                                      text_encoding::cp866, text_encoding::koi8_r};

const std::array<byte_scores, 3>& reading_scores() {
    static const std::array<byte_scores, 3> scores = {
        scores_for(windows_1251_letters()),
        scores_for(*letters_as_windows_1251(text_encoding::cp866)),
        scores_for(*letters_as_windows_1251(text_encoding::koi8_r))};
    return scores;
}

} // namespace

const char* encoding_name(text_encoding encoding) {
    switch (encoding) {
    case text_encoding::windows_1251: return "Windows-1251";
    case text_encoding::utf8: return "UTF-8";
    case text_encoding::utf16: return "UTF-16";
    case text_encoding::cp866: return "CP866";
    case text_encoding::koi8_r: return "KOI8-R";
    }
    return "";
}

count_verdict judge_by_counts(std::span<const std::uint8_t> bytes) {
    std::array<std::size_t, 256> counts{};
    for (const std::uint8_t b : bytes)
        ++counts[b];
    std::size_t high = 0;
    for (std::size_t b = 0x80; b < 256; ++b)
        high += counts[b];
    const auto& scores = reading_scores();
    std::array<double, 3> total{};
    for (std::size_t k = 0; k < single_byte.size(); ++k)
        for (std::size_t b = 0x80; b < 256; ++b)
            total[k] += static_cast<double>(counts[b]) * scores[k][b];
    const auto best =
        static_cast<std::size_t>(std::max_element(total.begin(), total.end()) - total.begin());
    const auto per_byte = [&](double score) { return score / static_cast<double>(high); };
    // Random letters read about as well (or badly) every way: a reading must look like Russian
    // to count at all.
    const bool russian = best != 0 && per_byte(total[best]) >= least_russian_per_byte;
    const bool leaning =
        best != 0 && high >= least_bytes_to_lean && per_byte(total[best]) >= least_leaning_per_byte;
    const double lead = total[best] - total[0];
    const bool clear = russian && lead >= least_lead && per_byte(lead) >= least_lead_per_byte;
    return {clear ? single_byte[best] : text_encoding::windows_1251,
            leaning ? single_byte[best] : text_encoding::windows_1251};
}

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
    if (well_formed || mostly_cyrillic)
        return text_encoding::utf8;
    return judge_by_counts(start.first(end)).encoding;
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
