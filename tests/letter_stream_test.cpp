#include "cipher/letter_reader.hpp"

#include "simd_levels.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <span>
#include <tuple>
#include <utility>

namespace {

TEST(LetterStream, AlphabetIsExactly0xC0To0xFF) {
    struct row {
        unsigned value;
        bool letter;
    };
    const row rows[] = {{0x00, false}, {0x1A, false}, {0x41, false}, {0x7F, false},
                        {0x80, false}, {0xA8, false}, {0xB8, false}, {0xBF, false},
                        {0xC0, true},  {0xDF, true},  {0xE0, true},  {0xFF, true}};
    for (const auto& r : rows) {
        EXPECT_EQ(is_letter_byte(static_cast<std::uint8_t>(r.value)), r.letter) << r.value;
    }
}

bytes letters_of(const bytes& text) {
    bytes letters;
    std::copy_if(text.begin(), text.end(), std::back_inserter(letters),
                 [](std::uint8_t b) { return b >= 0xC0; });
    return letters;
}

TEST(LetterStream, BlocksAtEveryBufferBoundary) {
    std::mt19937 rng(2024);
    const bytes fixed[] = {""_b, "\xC0"_b, "abc 123\r\n"_b, "\xA8\xB8\xBF"_b,
                           "\n\xC0\xC1\n\xFF\n"_b};
    std::vector<bytes> texts(std::begin(fixed), std::end(fixed));
    for (const std::size_t size : {1U, 2U, 80U, 81U, 82U, 4095U, 4096U, 4097U, 20000U})
        texts.push_back(sprinkle(rng, random_letters(rng, size)));
    // Files of the tool's own chunk size, and one byte either side.
    const bytes chunk_text = sprinkle(rng, random_letters(rng, io_chunk_size));
    for (const std::size_t size : {io_chunk_size - 1, io_chunk_size, io_chunk_size + 1})
        texts.push_back(chunk_text.substr(0, size));

    // Each text as it is, in UTF-8 and in UTF-8 with a mark, read in chunks of the tool's size
    // and in small ones that cut a two-byte letter at every place they can. A window of
    // chunk / 4 bytes can take Windows-1251 noise for UTF-8.
    struct reading {
        bytes text;
        std::size_t chunk;
        bytes letters;
        std::optional<text_encoding> given = {}; // as --from names it
    };
    std::vector<reading> readings;
    for (const auto& text : texts)
        for (const bytes& form : {text, utf8_of(text), "\xEF\xBB\xBF"_b + utf8_of(text)})
            for (const std::size_t chunk : {io_chunk_size, std::size_t{8}, std::size_t{61}})
                readings.push_back({form, chunk,
                                    chunk < io_chunk_size && form == text
                                        ? reference_letters(text, chunk / 4)
                                        : letters_of(text)});
    // CP866 and KOI8-R through their tables, named as --from names them; signs above 0x7F
    // left out, as some are letters there.
    for (bytes text : texts) {
        std::erase_if(text, [](std::uint8_t b) { return b >= 0x80 && b < 0xC0; });
        for (const std::size_t chunk : {io_chunk_size, std::size_t{8}}) {
            readings.push_back({cp866(text), chunk, letters_of(text), text_encoding::cp866});
            readings.push_back({koi8r_text(text), chunk, letters_of(text), text_encoding::koi8_r});
        }
    }

    for (const auto& [text, chunk, letters, given] : readings) {
        for (const int n : {1, 2, 9}) {
            for (const std::size_t blocks : {1U, 2U, 50U}) {
                std::FILE* f = file_with(text);
                letter_reader reader = make_letter_reader(f, chunk);
                if (given)
                    read_as(reader, *given);
                const std::size_t want = block_letters(n) * blocks;
                bytes read;
                bytes block(want, 0);
                std::size_t got = 0;
                do {
                    got = read_letters(reader, block.data(), block_letters(n) * blocks);
                    read.append(block.data(), got);
                } while (got == want);
                EXPECT_EQ(read, letters) << "n " << n << " blocks " << blocks << " chunk " << chunk;
                std::fclose(f);
            }
        }
    }
}

// Each text begins with what decides it; the Windows-1251 ones hold Russian words after that.
TEST(LetterStream, EncodingIsDecidedOnce) {
    const bytes words = "\xEF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"_b; // привет, мир
    const bytes ascii(std::size_t{300} * 1024, 'a');
    const bytes letters = "\xEF\xF0\xE8\xE2\xE5\xF2\xEC\xE8\xF0"_b;
    const bytes mark = "\xEF\xBB\xBF"_b;
    std::mt19937 rng(7);
    const bytes many_letters = random_letters(rng, 32767);
    const bytes many = utf8_of(many_letters);
    struct row {
        const char* name;
        bytes text;
        text_encoding encoding;
        bytes letters;
        std::size_t skipped; // bytes of UTF-8 skipped as malformed
    };
    const auto w1251 = text_encoding::windows_1251;
    const auto utf8 = text_encoding::utf8;
    const auto utf16 = text_encoding::utf16;
    const row rows[] = {
        {"Russian", words, w1251, letters, 0},
        {"\xD0\xBB (UTF-8 of \xCB) first", "\xD0\xBB "_b + words, w1251, "\xD0"_b + letters, 0},
        {"\xD0\xBB, 300 KiB of ASCII, then words", "\xD0\xBB"_b + ascii + words, w1251,
         "\xD0"_b + letters, 0},
        {"300 KiB of ASCII first", ascii + words, w1251, letters, 0},
        {"UTF-8 after 300 KiB of ASCII", ascii + utf8_of(words), utf8, letters, 0},
        {"UTF-8 with its mark", mark + utf8_of(words), utf8, letters, 0},
        {"\xD0\x81 and \xD1\x91 (\xA8, \xB8) are no letters", utf8_of("\xA8\xE0\xB8"_b), utf8,
         "\xE0"_b, 0},
        {"a cut mark", "\xEF\xBB"_b + words, w1251, "\xEF"_b + letters, 0},
        {"malformed after the mark: skipped", mark + "\xE0\xE1\xD0\xB0"_b, utf8, "\xE0"_b, 2},
        {"UTF-16LE", "\xFF\xFE\x3F\x04"_b, utf16, ""_b, 0},
        {"UTF-16BE", "\xFE\xFF\x04\x3F"_b, utf16, ""_b, 0},
        {"UTF-16LE ASCII, a dash among Russian",
         "\xFF\xFE"
         "a\0\x14\x20\x3F\x04\x10\x04"_b,
         utf16, ""_b, 0},
        {"UTF-16LE without a mark", "\x1F\x04\x40\x04 \0"_b, utf16, ""_b, 0},
        {"UTF-16BE ASCII without a mark", "\0a\0b\0c"_b, utf16, ""_b, 0},
        {"UTF-16BE, half its units odd", "\xFE\xFF\x20\x14\x04\x3F"_b, w1251, "\xFE\xFF"_b, 0},
        {"\xFF\xFE then letters", "\xFF\xFE\xE0\xE1\xE2"_b, w1251, "\xFF\xFE\xE0\xE1\xE2"_b, 0},
        {"\xFE\xFF then words", "\xFE\xFF"_b + words, w1251, "\xFE\xFF"_b + letters, 0},
        {"\xFF\xFE alone", "\xFF\xFE"_b, utf16, ""_b, 0},
        {"\xFF\xFE and half a unit", "\xFF\xFE\x04"_b, w1251, "\xFF\xFE"_b, 0},
        {"a blank inside a character", "\xD0 \xBB"_b, w1251, "\xD0"_b, 0},
        {"a letter cut by the end", "abc \xE2"_b, w1251, "\xE2"_b, 0},
        {"overlong", "\xC1\xBF\xE0\x9F\xBF\xE0"_b, w1251, "\xC1\xE0\xE0"_b, 0},
        {"a surrogate", "\xED\xA0\x80\xE0"_b, w1251, "\xED\xE0"_b, 0},
        {"above U+10FFFF", "\xF4\x90\x80\x80\xD0\xB0"_b, w1251, "\xF4\xD0"_b, 0},
        {"the largest", "\xF4\x8F\xBF\xBF\xD0\xB0"_b, utf8, "\xE0"_b, 0},
        {"no letters", "\xC2\xA0"_b, utf8, ""_b, 0},
        {"UTF-8 cut by the end", utf8_of(words) + "\xD0"_b, utf8, letters, 1},
        {"UTF-8 cut by the end inside a dash", utf8_of(words) + "\xE2\x80"_b, utf8, letters, 2},
        {"32,767 letters and a stray byte", many.substr(0, 30000) + "\x80"_b + many.substr(30000),
         utf8, many_letters, 1},
        {"32 letters and a stray byte", "\xFF\n"_b + many.substr(0, 64), utf8,
         many_letters.substr(0, 32), 1},
        {"31 letters and a stray byte", "\xFF\n"_b + many.substr(0, 62), w1251,
         "\xFF"_b + letters_of(many.substr(0, 62)), 0},
        {"4 Cyrillic, cut by the end", "\xD0\xB0\xD0\xB1\xD0\xB2\xD0\xB3\xD1"_b, utf8,
         "\xE0\xE1\xE2\xE3"_b, 1},
        {"3 Cyrillic, cut by the end", "\xD0\xB0\xD0\xB1\xD0\xB2\xD1"_b, w1251,
         "\xD0\xD0\xD0\xD1"_b, 0},
        {"a UTF-8 word, then Windows-1251", utf8_of(letters) + " "_b + words, w1251,
         letters_of(utf8_of(letters)) + letters, 0},
    };
    for (const auto& r : rows) {
        std::FILE* f = file_with(r.text);
        letter_reader reader = make_letter_reader(f);
        bytes read(r.text.size(), 0);
        read.resize(read_letters(reader, read.data(), read.size()));
        EXPECT_EQ(reader.encoding, r.encoding) << r.name;
        EXPECT_EQ(decide_encoding(std::span(r.text.data(), r.text.size()), true), r.encoding)
            << r.name;
        EXPECT_EQ(read, r.letters) << r.name;
        EXPECT_EQ(skipped_bytes(reader), r.skipped) << r.name;
        std::size_t skipped = 0;
        EXPECT_EQ(reference_letters(r.text, io_chunk_size / 4, nullptr, &skipped), r.letters)
            << r.name;
        EXPECT_EQ(skipped, r.skipped) << r.name;
        std::fclose(f);
    }
}

// The decision on a start that is not the whole text, or judged short.
TEST(LetterStream, EncodingOfAStart) {
    struct row {
        const char* name;
        bytes start;
        bool at_end;
        std::size_t judged;
        text_encoding encoding;
    };
    const bytes cut = "\xD0\xB0\xD0"_b;
    // "Завтра утром приеду поездом, жди меня на вокзале у часов."
    const bytes sentence = "\xC7\xE0\xE2\xF2\xF0\xE0 \xF3\xF2\xF0\xEE\xEC \xEF\xF0\xE8\xE5\xE4\xF3 "
                           "\xEF\xEE\xE5\xE7\xE4\xEE\xEC, \xE6\xE4\xE8 \xEC\xE5\xED\xFF \xED\xE0 "
                           "\xE2\xEE\xEA\xE7\xE0\xEB\xE5 \xF3 \xF7\xE0\xF1\xEE\xE2."_b;
    const row rows[] = {
        {"cut, more to come", cut, false, bytes_judged, text_encoding::utf8},
        {"cut, the end", cut, true, bytes_judged, text_encoding::windows_1251},
        {"cut where judging ends", cut + "\xB1\xFF\xFF"_b, true, 3, text_encoding::utf8},
        {"judged to the end", cut + "\xB1\xFF\xFF"_b, true, 6, text_encoding::windows_1251},
        {"a mark before malformed bytes", "\xEF\xBB\xBF\xFF\xFF"_b, true, bytes_judged,
         text_encoding::utf8},
        {"a lead where judging ends, ASCII after it: malformed",
         "\xD0\xB0\xD0\xB1\xD0\xB2\xD0\xB3\xE0`"_b, true, 9, text_encoding::windows_1251},
        {"a sentence in KOI8-R", koi8r_text(sentence), true, bytes_judged, text_encoding::koi8_r},
        {"a sentence in CP866", cp866(sentence), true, bytes_judged, text_encoding::cp866},
        {"its letters in KOI8-R, as ciphertext", koi8r(letters_of(sentence)), true, bytes_judged,
         text_encoding::koi8_r},
        {"a sentence in Windows-1251", sentence, true, bytes_judged, text_encoding::windows_1251},
    };
    for (const auto& r : rows)
        EXPECT_EQ(decide_encoding(std::span(r.start.data(), r.start.size()), r.at_end, r.judged),
                  r.encoding)
            << r.name;
}

// Russian-like Windows-1251 text with what makes it look most like UTF-8 (one-letter words of
// either case, the punctuation above 0x7F after them), and ciphertexts with a UTF-8 letter
// dropped in: no excerpt of either that holds a word is UTF-8.
TEST(LetterStream, Windows1251IsNeverUtf8) {
    std::mt19937 rng(11);
    static const bytes marks = "\xAB\xBB\x97\x96\x85\xB9\xA8\xB8\xA0 ,.\r\n"_b;
    std::uniform_int_distribution<std::size_t> length(1, 8);
    std::uniform_int_distribution<std::size_t> mark(0, marks.size() - 1);
    bytes text;
    while (text.size() < 200000)
        text += random_letters(rng, length(rng)) + bytes(1 + length(rng) / 8, marks[mark(rng)]);
    const bytes cipher = laid_out(random_letters(rng, 100000));
    std::uniform_int_distribution<std::size_t> size(2, 3000);
    int judged = 0;
    for (int i = 0; i < 6000; ++i) {
        const bytes& source = i % 2 == 0 ? text : cipher;
        std::uniform_int_distribution<std::size_t> at(0, source.size() - 1);
        bytes excerpt = source.substr(at(rng), size(rng));
        if (i % 2 == 1)
            excerpt.insert(at(rng) % excerpt.size(), "\xD0\xB0"_b);
        const auto word = std::adjacent_find(excerpt.begin(), excerpt.end(), [](auto a, auto b) {
            return is_letter_byte(a) && is_letter_byte(b);
        });
        if (word == excerpt.end())
            continue;
        ++judged;
        ASSERT_EQ(decide_encoding(std::span(excerpt.data(), excerpt.size()), true),
                  text_encoding::windows_1251)
            << i;
    }
    EXPECT_GT(judged, 5000);
}

TEST(LetterStream, VectorPathsMatchScalar) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> any(0, 255);
    bytes noise(5000, 0);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(any(rng));
    const bytes text = sprinkle(rng, random_letters(rng, 4000));
    // Letters alone (deciphered text), UTF-8 as dense as it comes, and the bytes around its
    // letters' edges in any order.
    const bytes letters = random_letters(rng, 4200);
    const bytes utf8 = utf8_of(random_letters(rng, 2500));
    static const bytes edges = "\xD0\xD1\x7F\x80\x8F\x90\xBF\xC0 "_b;
    bytes near(5000, 0);
    for (auto& b : near)
        b = edges[static_cast<std::size_t>(any(rng)) % edges.size()];
    // Real UTF-8: letters and ASCII, now and then a character of three or four bytes, one whose
    // second byte has a range of its own, or a malformed one.
    static const bytes common[] = {"\xD0\xB0"_b,     "\xD1\x8F"_b,         " "_b,
                                   "\r\n"_b,         "\xC2\xAB"_b,         "\xE2\x80\x94"_b,
                                   "\xE2\x80\xA6"_b, "\xF0\x9F\x98\x80"_b, "\xF3\xA0\x80\x81"_b};
    static const bytes rare[] = {"\xE0\xA4\x85"_b,     "\xED\x9F\xBF"_b,
                                 "\xF4\x8F\xBF\xBF"_b, "\xED\xA0\x80"_b,
                                 "\xE0\x9F\xBF"_b,     "\xF4\x90\x80\x80"_b,
                                 "\xF0\x8F\xBF\xBF"_b, "\xC1\xBF"_b,
                                 "\xE2\x80"_b,         "\xFF"_b};
    // Continuation bytes one and seven in, to follow a lead given before.
    bytes mixed = "\xE2\x80\x94"
                  "abc\xF0\x9F\x98\x80"_b +
                  bytes(64, 'a');
    while (mixed.size() < 5000) {
        const auto r = static_cast<std::size_t>(any(rng));
        const auto which = static_cast<std::size_t>(any(rng));
        // A rare one after ASCII, its lead the last of 64 bytes or anywhere.
        const std::size_t at = which % 2 == 0 ? 63 : which / 2 % 64;
        mixed += r < 6 ? bytes((at + 64 - mixed.size() % 64) % 64, 'a') + rare[r + which / 64 % 5]
                       : common[which % std::size(common)];
    }
    for_each_simd_level([&](simd_level level) {
        for (const bytes* source : {&std::as_const(noise), &text, &letters, &utf8,
                                    &std::as_const(near), &std::as_const(mixed)})
            for (const std::size_t size : {0U, 1U, 15U, 16U, 17U, 31U, 32U, 33U, 64U, 4097U})
                for (const std::size_t shift : {0U, 1U, 7U}) {
                    const bytes in = source->substr(shift, size);
                    bytes fast = in;
                    bytes slow = in;
                    const std::size_t kept = keep_letters_scalar(slow.data(), slow.size());
                    ASSERT_EQ(keep_letters(fast.data(), fast.size()), kept);
                    EXPECT_EQ(fast.substr(0, kept), slow.substr(0, kept))
                        << "level " << static_cast<int>(level) << " size " << size;

                    bytes encoded(2 * size, 0);
                    encoded.resize(encode_utf8_scalar(in.data(), size, encoded.data()));
                    fast.assign(2 * size, 0);
                    fast.resize(encode_utf8(in.data(), size, fast.data()));
                    EXPECT_EQ(fast, encoded) << "size " << size;
                    // Nothing open, a two-byte, three-byte or four-byte character open, a lead
                    // alone or not.
                    for (const bytes& before : {""_b, "\xD0"_b, "\xE2\x80"_b, "\xF0"_b, "\xE2"_b,
                                                "\xF1\x80"_b, "\xE0"_b, "\xF4"_b}) {
                        utf8_check a;
                        check_utf8_scalar(before.data(), before.size(), a);
                        utf8_check b = a;
                        check_utf8(in.data(), size, a);
                        check_utf8_scalar(in.data(), size, b);
                        EXPECT_EQ(std::tie(a.lead, a.held, a.need, a.malformed),
                                  std::tie(b.lead, b.held, b.need, b.malformed))
                            << "size " << size;
                    }
                    // Room for all, for a third, for one; after a lead byte or not.
                    for (const std::size_t room : {size, size / 3, std::size_t{1}})
                        for (const std::uint8_t previous :
                             std::initializer_list<std::uint8_t>{0, 0xD0, 0xD1}) {
                            fast.assign(room, 0);
                            slow.assign(room, 0);
                            const auto a =
                                take_utf8_letters(in.data(), size, previous, fast.data(), room);
                            const auto b = take_utf8_letters_scalar(in.data(), size, previous,
                                                                    slow.data(), room);
                            EXPECT_EQ(std::make_pair(a.bytes, fast.substr(0, a.letters)),
                                      std::make_pair(b.bytes, slow.substr(0, b.letters)))
                                << "room " << room << " size " << size;
                        }
                }
    });
}

TEST(LetterStream, BlockStopsRightAfterItsLastLetter) {
    std::FILE* f = file_with("\xC0\xC1\n\xC2 \xC3,\xC4\xC5."_b);
    letter_reader reader = make_letter_reader(f);
    std::uint8_t block[4];
    ASSERT_EQ(read_letters(reader, block, block_letters(2)), 4U);
    EXPECT_EQ(bytes(block, 4), "\xC0\xC1\xC2\xC3"_b);
    ASSERT_EQ(read_letters(reader, block, 4), 2U); // the reader goes on where the block ended
    EXPECT_EQ(bytes(block, 2), "\xC4\xC5"_b);
    std::fclose(f);
}

} // namespace
