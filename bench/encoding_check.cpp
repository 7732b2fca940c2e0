// How the choice between UTF-8 and Windows-1251 fares on real text: excerpts of UTF-8 files (the
// literature corpus, unpacked), converted to Windows-1251 and enciphered, must never be taken
// for UTF-8; the UTF-8 excerpts themselves, cut anywhere or with a byte spoilt, should be.
//
//   encoding_check EXCERPTS FILE...
#include "cipher/text_encoding.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>

namespace {

using bytes = std::basic_string<std::uint8_t>;

// Windows-1251 for the letters and the punctuation Russian books use; other characters dropped.
bytes windows_1251_of(const bytes& utf8) {
    bytes out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned b = utf8[i];
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        unsigned code = b & (0x7FU >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            code = code << 6 | (utf8[i + k] & 0x3FU);
        i += length;
        if (length == 1) {
            out += static_cast<std::uint8_t>(code);
            continue;
        }
        struct pair {
            unsigned code;
            unsigned byte;
        };
        static constexpr pair punctuation[] = {
            {0x401, 0xA8},  {0x451, 0xB8},  {0xAB, 0xAB},   {0xBB, 0xBB},   {0x2014, 0x97},
            {0x2013, 0x96}, {0x2026, 0x85}, {0x2116, 0xB9}, {0x201C, 0x93}, {0x201D, 0x94},
            {0x201E, 0x84}, {0xA0, 0xA0},   {0xA7, 0xA7},   {0xB0, 0xB0}};
        if (code >= 0x410 && code <= 0x44F)
            out += static_cast<std::uint8_t>(code - 0x410 + 0xC0);
        for (const auto& p : punctuation)
            if (p.code == code)
                out += static_cast<std::uint8_t>(p.byte);
    }
    return out;
}

// The letters enciphered under a random key of 9, uppercase, in groups of five.
bytes ciphertext_of(const bytes& text, std::mt19937& rng) {
    bytes letters;
    for (const std::uint8_t b : text)
        if (b >= 0xC0)
            letters += static_cast<std::uint8_t>(b & ~0x20U);
    std::int32_t order[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    std::shuffle(std::begin(order), std::end(order), rng);
    bytes cipher(letters.size(), 0);
    encipher_letters(letters.data(), letters.size(), order, 9, cipher.data());
    bytes out;
    for (std::size_t i = 0; i < cipher.size(); ++i) {
        if (i > 0 && i % 5 == 0)
            out += static_cast<std::uint8_t>(i % 50 == 0 ? '\n' : ' ');
        out += cipher[i];
    }
    return out;
}

text_encoding decided(const bytes& text) {
    return decide_encoding(std::span(text.data(), text.size()), true);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: encoding_check EXCERPTS FILE...\n", stderr);
        return 2;
    }
    const long excerpts = std::strtol(argv[1], nullptr, 10);
    bytes utf8;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        utf8.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::mt19937 rng(1251);
    const bytes w1251 = windows_1251_of(utf8);
    const bytes cipher = ciphertext_of(w1251, rng);
    // Mostly short excerpts, where a chance resemblance would show; some up to 256 KiB.
    auto excerpt = [&](const bytes& source) {
        std::uniform_int_distribution<std::size_t> size(1, rng() % 8 == 0 ? 262144 : 4096);
        std::uniform_int_distribution<std::size_t> at(0, source.size() - 1);
        return source.substr(at(rng), size(rng));
    };
    long text_utf8 = 0;
    long cipher_utf8 = 0;
    long cut_w1251 = 0;
    long spoilt_w1251 = 0;
    for (long i = 0; i < excerpts; ++i) {
        text_utf8 += decided(excerpt(w1251)) == text_encoding::utf8 ? 1 : 0;
        bytes c = excerpt(cipher);
        if (i % 2 == 1) // a UTF-8 letter among the ciphertext
            c.insert(rng() % c.size(), reinterpret_cast<const std::uint8_t*>("\xD0\x90"), 2);
        cipher_utf8 += decided(c) == text_encoding::utf8 ? 1 : 0;
        bytes u = excerpt(utf8);
        cut_w1251 += decided(u) != text_encoding::utf8 ? 1 : 0;
        u[rng() % u.size()] = static_cast<std::uint8_t>(rng());
        spoilt_w1251 += decided(u) != text_encoding::utf8 ? 1 : 0;
    }
    std::printf("%ld excerpts of each kind, from %zu bytes of UTF-8 (%zu of Windows-1251)\n",
                excerpts, utf8.size(), w1251.size());
    std::printf("Windows-1251 text taken for UTF-8:            %ld\n", text_utf8);
    std::printf("Windows-1251 ciphertext taken for UTF-8:      %ld\n", cipher_utf8);
    std::printf("UTF-8 cut anywhere, not taken for UTF-8:      %ld\n", cut_w1251);
    std::printf("UTF-8 with a byte spoilt, not taken for UTF-8: %ld\n", spoilt_w1251);
    return text_utf8 + cipher_utf8 == 0 ? 0 : 1;
}
