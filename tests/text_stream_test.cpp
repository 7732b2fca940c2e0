// The block loops: whole texts through decipher_stream and encipher_stream, in every form and
// buffer size, and faults midway.
#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"

#include "simd_levels.hpp"
#include "test_text.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <initializer_list>

namespace {

// Enciphers a random text of length letters, sprinkled with non-letters, and runs the whole
// block loop over it with each buffer size: the lowercase plaintext must come back. Then the
// plaintext, sprinkled, through the enciphering loop must give the ciphertext laid out. Form 0
// is Windows-1251, 1 UTF-8, 2 UTF-8 with a mark; the output takes the input's, and a text with
// no letters gives nothing at all, not even the mark.
// Short random letters may read as KOI8-R by chance; the loops are checked on Windows-1251.
void windows_1251_if_single_byte(letter_reader& reader, int form) {
    if (form == 0)
        read_as(reader, text_encoding::windows_1251);
}

void expect_round_trip(std::mt19937& rng, const std::vector<std::int32_t>& order,
                       std::size_t length, std::initializer_list<std::size_t> buffer_sizes,
                       int form, const stream_extras& extras = {}) {
    const auto in_form = [form](const bytes& text) {
        return form == 0 ? text : (form == 2 ? "\xEF\xBB\xBF"_b : ""_b) + utf8_of(text);
    };
    const auto out_form = [&](const bytes& text) { return text.empty() ? text : in_form(text); };
    const int n = static_cast<int>(order.size());
    const bytes plain = random_letters(rng, length);
    std::FILE* in = file_with(in_form(sprinkle(rng, encipher(plain, order))));
    for (const std::size_t buffer_size : buffer_sizes) {
        // Letters already taken from the stream: none, or as many as the buffer's blocks hold.
        const std::size_t capacity = buffer_size / block_letters(n) * block_letters(n);
        for (const std::size_t wanted : {std::size_t{0}, std::min(length, capacity), capacity}) {
            std::rewind(in);
            letter_reader reader = make_letter_reader(in);
            windows_1251_if_single_byte(reader, form);
            std::FILE* out = std::tmpfile();
            bytes buffer(buffer_size, 0);
            const std::size_t held = read_letters(reader, buffer.data(), wanted);
            EXPECT_EQ(decipher_stream(reader, out, order.data(), n, buffer.data(), buffer_size,
                                      held, extras)
                          .failure,
                      stream_failure::none);
            EXPECT_EQ(file_content(out), out_form(lowercase(plain)))
                << "n " << n << " length " << length << " buffer " << buffer_size << " held "
                << held << " form " << form;
            std::fclose(out);
        }
    }
    std::fclose(in);

    // And from the plaintext, through the enciphering loop.
    std::FILE* plain_file = file_with(in_form(sprinkle(rng, plain)));
    const bytes expected = out_form(laid_out(encipher(plain, order)));
    for (const std::size_t buffer_size : buffer_sizes) {
        std::rewind(plain_file);
        letter_reader reader = make_letter_reader(plain_file);
        windows_1251_if_single_byte(reader, form);
        std::FILE* out = std::tmpfile();
        bytes buffer(buffer_size, 0);
        std::uint64_t letters_read = 0;
        EXPECT_EQ(
            encipher_stream(reader, out, order.data(), n, buffer.data(), buffer_size, &letters_read)
                .failure,
            stream_failure::none);
        EXPECT_EQ(letters_read, length);
        EXPECT_EQ(file_content(out), expected)
            << "n " << n << " length " << length << " buffer " << buffer_size << " form " << form;
        std::fclose(out);
    }
    std::fclose(plain_file);
}

TEST(TextStream, RoundTripThroughBlockLoop) {
    std::mt19937 rng(1251);
    // One thread; reading ahead a buffer at a time, as from a pipe; and further, as from a file.
    for (const int mode : {0, 1, 2}) {
        stream_extras extras;
        extras.reader_thread = mode != 0;
        extras.reads_wait = mode != 2;
        SCOPED_TRACE(mode);
        for_each_simd_level([&](simd_level) {
            for (int n = 1; n <= max_key_length; ++n) {
                const auto order = random_order(rng, n);
                const auto size = block_letters(n);
                for (const std::size_t length :
                     {std::size_t{0}, std::size_t{1}, size - 1, size, size + 1, 5 * size - 1,
                      5 * size + static_cast<std::size_t>(n), 4096 + size / 2})
                    for (const int form : {0, 1, 2})
                        expect_round_trip(rng, order, length,
                                          {size, size + 1, 2 * size - 1, 4096 + size}, form,
                                          extras);
            }
        });
    }
}

// The buffer size the tool runs with, and texts that fill it exactly, once, or just miss.
TEST(TextStream, RoundTripAroundTheRunBuffer) {
    std::mt19937 rng(866);
    for (const int n : {2, 7, 9}) {
        const auto order = random_order(rng, n);
        const std::size_t full = io_chunk_size / block_letters(n) * block_letters(n);
        for (const std::size_t length : {full - 1, full, full + 1, 2 * full + 5})
            for (const int form : {0, 1, 2})
                expect_round_trip(rng, order, length,
                                  {io_chunk_size - 1, io_chunk_size, io_chunk_size + 1}, form);
    }
}

#ifdef __GLIBC__
// A stream that fails with `error` once `fails_at` bytes have been read from it, or would have
// been written to it.
struct faulty_file {
    bytes content; // read from, or written to
    std::size_t fails_at;
    int error;
    std::size_t at = 0;
};

ssize_t read_faulty(void* cookie, char* to, std::size_t size) {
    auto& f = *static_cast<faulty_file*>(cookie);
    if (f.at >= f.fails_at) {
        errno = f.error;
        return -1;
    }
    const std::size_t take = std::min({size, f.content.size() - f.at, f.fails_at - f.at});
    std::copy_n(f.content.data() + f.at, take, to);
    f.at += take;
    return static_cast<ssize_t>(take);
}

ssize_t write_faulty(void* cookie, const char* from, std::size_t size) {
    auto& f = *static_cast<faulty_file*>(cookie);
    if (f.content.size() + size > f.fails_at) {
        errno = f.error;
        return 0;
    }
    f.content.append(reinterpret_cast<const std::uint8_t*>(from), size);
    return static_cast<ssize_t>(size);
}

// A failed read or write some buffers into a text, while the reads run ahead of the writes:
// the fault and its errno come back, and the output is a prefix of the plaintext that stops at
// the fault: after a failed read, or from a pipe, exactly what one thread writes.
TEST(TextStream, FaultsMidStream) {
    struct row {
        const char* name;
        std::size_t read_fails_at, write_fails_at;
        stream_failure fault;
        int error;
        bool utf8;
        bool file = false; // read ahead as far as from a file
    };
    constexpr std::size_t never = SIZE_MAX;
    const row rows[] = {
        {"read error past several buffers", 1500000, never, stream_failure::read, EIO, false},
        {"read error in the first buffer", 1000, never, stream_failure::read, EIO, false},
        {"read error in UTF-8", 2500000, never, stream_failure::read, EIO, true},
        {"write error while reads run ahead", never, 600000, stream_failure::write, ENOSPC, false},
        {"write error in UTF-8", never, 1200000, stream_failure::write, EFBIG, true},
        {"read error mid-file, the writer busy", 1900000, never, stream_failure::read, EIO, false,
         true},
        {"read error mid-file in UTF-8", 3300000, never, stream_failure::read, EIO, true, true},
        {"write error from a file", never, 1500000, stream_failure::write, ENOSPC, false, true},
        {"write error from a file in UTF-8", never, 1500000, stream_failure::write, ENOSPC, true,
         true},
    };
    std::mt19937 rng(23);
    const std::vector<std::int32_t> order = {3, 0, 4, 1, 2, 6, 5};
    const bytes plain = random_letters(rng, 1700000);
    const bytes cipher = sprinkle(rng, encipher(plain, order));
    for (const auto& r : rows) {
        bytes written[2];
        for (const bool threaded : {true, false}) {
            faulty_file source{r.utf8 ? utf8_of(cipher) : cipher, r.read_fails_at, EIO};
            faulty_file sink{{}, r.write_fails_at, r.error};
            std::FILE* in = fopencookie(&source, "r", {read_faulty, nullptr, nullptr, nullptr});
            std::FILE* out = fopencookie(&sink, "w", {nullptr, write_faulty, nullptr, nullptr});
            letter_reader reader = make_letter_reader(in);
            const auto buffer = make_io_buffer(io_chunk_size);
            stream_extras extras;
            extras.reader_thread = threaded;
            extras.reads_wait = !r.file;
            const stream_fault fault = decipher_stream(reader, out, order.data(), 7, buffer.get(),
                                                       io_chunk_size, 0, extras);
            EXPECT_EQ(fault.failure, r.fault) << r.name;
            EXPECT_EQ(fault.error, r.error) << r.name;
            std::fflush(out);
            std::fclose(out);
            std::fclose(in);
            written[threaded ? 0 : 1] = sink.content;
        }
        const bytes whole = r.utf8 ? utf8_of(lowercase(plain)) : lowercase(plain);
        // From a file the reads run further ahead, and a write fails a slot at a time.
        if (!r.file || r.fault == stream_failure::read) {
            EXPECT_EQ(written[0], written[1]) << r.name;
        }
        EXPECT_EQ(whole.substr(0, written[0].size()), written[0]) << r.name;
        EXPECT_LT(written[0].size(), whole.size()) << r.name;
    }
}
#endif

} // namespace
