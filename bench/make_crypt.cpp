// Writes a deterministic test ciphertext of about the given size to standard output: random
// Windows-1251 plaintext capitals, enciphered under the key word, laid out in words of 1 to 12
// letters with blanks, some punctuation and a CR LF about every 70 bytes (about 85% letters).
// With a third argument, the lowercase plaintext the tool must give back is written there.
#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct xorshift {
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    std::uint32_t operator()() { // xorshift64*: fixed, fast, the same on every machine
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<std::uint32_t>((state * 0x2545F4914F6CDD1DULL) >> 32);
    }
};

// Calls put(byte, is_letter_slot) for every byte of the layout, which is the same every time.
template <typename Put> void lay_out(unsigned long long size, Put put) {
    xorshift random;
    unsigned long long written = 0;
    unsigned line = 0;
    while (written < size) {
        const std::uint32_t r = random();
        const std::uint32_t word = 1 + r % 12;
        for (std::uint32_t i = 0; i < word && written < size; ++i, ++written, ++line)
            put(' ', true);
        const char* gap = (r >> 8) % 8 == 0 ? ((r >> 12) % 2 != 0 ? ", " : ". ") : " ";
        if (line >= 70)
            gap = (r >> 8) % 8 == 0 ? ".\r\n" : "\r\n";
        for (; *gap != '\0' && written < size; ++gap, ++written, ++line)
            put(static_cast<unsigned char>(*gap), false);
        if (line >= 70)
            line = 0;
    }
}

struct output {
    std::FILE* file;
    std::vector<unsigned char> buffer;
    void put(unsigned char b) {
        buffer.push_back(b);
        if (buffer.size() == 1 << 20)
            flush();
    }
    void flush() {
        if (std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
            std::perror("make_crypt");
            std::exit(1);
        }
        buffer.clear();
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5 || std::strlen(argv[2]) == 0 ||
        std::strlen(argv[2]) > max_key_length) {
        std::fputs("usage: make_crypt BYTES KEY [PLAIN_OUT [TEXT]] > Crypt.txt\n", stderr);
        return 2;
    }
    // With TEXT, the plaintext is its letters over and over instead of random ones.
    std::vector<unsigned char> source;
    if (argc == 5) {
        std::FILE* text = std::fopen(argv[4], "rb");
        for (int ch = 0; text != nullptr && (ch = std::getc(text)) != EOF;)
            if (ch >= 0xC0)
                source.push_back(static_cast<unsigned char>(ch & 0xDF));
        if (text == nullptr || source.empty()) {
            std::fprintf(stderr, "make_crypt: %s: no letters\n", argv[4]);
            return 1;
        }
        std::fclose(text);
    }
    std::size_t source_at = 0;
    const unsigned long long size = std::strtoull(argv[1], nullptr, 10);
    const int n = static_cast<int>(std::strlen(argv[2]));
    std::array<std::int32_t, max_key_length> order{};
    fill_column_order(order.data(), n, argv[2]);

    unsigned long long total = 0;
    lay_out(size, [&](unsigned char, bool letter) { total += letter ? 1 : 0; });

    output crypt{stdout, {}};
    output plain{argc >= 4 ? std::fopen(argv[3], "wb") : nullptr, {}};
    if (argc >= 4 && plain.file == nullptr) {
        std::perror(argv[3]);
        return 1;
    }
    // Letters are made a block ahead: the plaintext block, then its columns in key order.
    const unsigned long long block_size = block_letters(n);
    xorshift random;
    random.state ^= 0x5DEECE66DULL;
    std::vector<unsigned char> cipher;
    std::size_t next = 0;
    unsigned long long done = 0;
    lay_out(size, [&](unsigned char b, bool letter) {
        if (!letter)
            return crypt.put(b);
        if (next == cipher.size()) {
            const auto length = static_cast<std::size_t>(std::min(block_size, total - done));
            std::vector<unsigned char> block(length);
            for (auto& p : block) {
                p = source.empty() ? static_cast<unsigned char>(0xC0 + random() % 32)
                                   : source[source_at];
                source_at = source.empty() ? 0 : (source_at + 1) % source.size();
            }
            if (plain.file != nullptr)
                for (const unsigned char p : block)
                    plain.put(static_cast<unsigned char>(p | 0x20));
            cipher.resize(length);
            encipher_letters(block.data(), length, order.data(), n, cipher.data());
            next = 0;
            done += length;
        }
        crypt.put(cipher[next++]);
    });
    crypt.flush();
    if (plain.file != nullptr) {
        plain.flush();
        if (std::fclose(plain.file) != 0)
            return 1;
    }
    std::fprintf(stderr, "make_crypt: %llu bytes, %llu letters, last block %llu of %llu\n", size,
                 total, total % block_size == 0 ? block_size : total % block_size, block_size);
    return std::fclose(stdout) == 0 ? 0 : 1;
}
