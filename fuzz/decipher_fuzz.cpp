// A key of 1 to 9 bytes and any ciphertext bytes through the whole block loop: the output, in
// the input's encoding, has one lowercase letter per input letter, is a permutation of them,
// and enciphers back to the input letters in uppercase.
#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"
#include "fuzz_input.hpp"
#include "tests/simd_levels.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const int n = 1 + data[0] % max_key_length;
    const auto key_size = static_cast<std::size_t>(n);
    if (size < 1 + key_size)
        return 0;
    const auto block_size = block_letters(n);
    const std::size_t buffer_size = block_size * (1U + data[0] / max_key_length % 8);
    std::vector<std::int32_t> order(key_size);
    fill_column_order(order.data(), n, reinterpret_cast<const char*>(data + 1));
    bytes content(data + 1 + key_size, size - 1 - key_size);
    text_encoding encoding{};
    const bytes letters = reference_letters(content, io_chunk_size / 4, &encoding);

    for_each_simd_level([&](simd_level) {
        std::FILE* in = stream_over(content);
        char* output = nullptr;
        std::size_t output_size = 0;
        std::FILE* out = open_memstream(&output, &output_size);
        bytes buffer(buffer_size, 0); // exactly this size, so that ASan sees a step past it
        letter_reader reader = make_letter_reader(in);
        require(decipher_stream(reader, out, order.data(), n, buffer.data(), buffer_size).failure ==
                stream_failure::none);
        std::fclose(out);
        std::fclose(in);
        const bytes written(reinterpret_cast<const std::uint8_t*>(output), output_size);
        std::free(output);
        const bool utf8 = encoding == text_encoding::utf8;
        const bool koi8 = encoding == text_encoding::koi8_r;
        const bool other = koi8 || encoding == text_encoding::cp866;
        const bytes plain = utf8    ? reference_letters(written)
                            : other ? single_byte_letters(written, encoding)
                                    : written;
        // The mark goes out with the first letter, so only with letters.
        const bytes mark = utf8 && !letters.empty() && content.starts_with("\xEF\xBB\xBF"_b)
                               ? "\xEF\xBB\xBF"_b
                               : ""_b;
        require(written == (utf8    ? mark + utf8_of(plain)
                            : koi8  ? koi8r(plain)
                            : other ? cp866(plain)
                                    : plain));
        require(plain.size() == letters.size());
        require(std::all_of(plain.begin(), plain.end(), [](std::uint8_t b) { return b >= 0xE0; }));
        bytes sorted_plain = plain;
        bytes sorted_letters = lowercase(letters);
        std::sort(sorted_plain.begin(), sorted_plain.end());
        std::sort(sorted_letters.begin(), sorted_letters.end());
        require(sorted_plain == sorted_letters);
        bytes upper = letters;
        for (auto& b : upper)
            b = static_cast<std::uint8_t>(b & 0xDFU);
        require(encipher(plain, order) == upper);
    });
    return 0;
}
