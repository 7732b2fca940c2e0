#include "cipher/letter_stream.hpp"

#include "simd_levels.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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
        EXPECT_EQ(is_alphabet_letter(static_cast<char>(r.value)), r.letter) << r.value;
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

    for (const auto& text : texts) {
        const bytes letters = letters_of(text);
        for (const int n : {1, 2, 9}) {
            for (const std::size_t blocks : {1U, 2U, 50U}) {
                std::FILE* f = file_with(text);
                const std::size_t want = block_letters(n) * blocks;
                bytes read;
                bytes block(want, 0);
                std::size_t got = 0;
                do {
                    got = read_block(f, block.data(), n, blocks);
                    read.append(block.data(), got);
                } while (got == want);
                EXPECT_EQ(read, letters) << "n " << n << " blocks " << blocks;
                std::fclose(f);
            }
        }
    }
}

TEST(LetterStream, VectorPathsMatchScalar) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> any(0, 255);
    bytes noise(5000, 0);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(any(rng));
    const bytes text = sprinkle(rng, random_letters(rng, 4000));
    for_each_simd_level([&](simd_level level) {
        for (const bytes* source : {&std::as_const(noise), &text})
            for (const std::size_t size : {0U, 1U, 15U, 16U, 17U, 31U, 32U, 33U, 64U, 4097U})
                for (const std::size_t shift : {0U, 1U, 7U}) {
                    bytes fast = source->substr(shift, size);
                    bytes slow = fast;
                    const std::size_t kept = keep_letters_scalar(slow.data(), slow.size());
                    ASSERT_EQ(keep_letters(fast.data(), fast.size()), kept);
                    EXPECT_EQ(fast.substr(0, kept), slow.substr(0, kept))
                        << "level " << static_cast<int>(level) << " size " << size;
                }
    });
}

TEST(LetterStream, BlockStopsRightAfterItsLastLetter) {
    std::FILE* f = file_with("\xC0\xC1\n\xC2 \xC3,\xC4\xC5."_b);
    std::uint8_t block[4];
    ASSERT_EQ(read_block(f, block, 2), 4U);
    EXPECT_EQ(bytes(block, 4), "\xC0\xC1\xC2\xC3"_b);
    EXPECT_EQ(std::getc(f), ',');
    std::fclose(f);
}

} // namespace
