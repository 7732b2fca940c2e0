// In-memory kernels, in bytes per second, for each vector level the processor has, and the
// block loop over a file in the page cache for a range of buffer sizes.
#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/simd.hpp"
#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"

#include <benchmark/benchmark.h>

#include <random>
#include <utility>
#include <vector>

namespace {

// About 85% capitals, the rest blanks, punctuation and line breaks.
std::vector<std::uint8_t> mixed_text(std::size_t size) {
    std::mt19937 rng(42);
    std::vector<std::uint8_t> text(size);
    for (auto& b : text) {
        const auto r = rng();
        b = static_cast<std::uint8_t>(
            r % 100 < 85 ? 0xC0 + r / 100 % 32 : static_cast<std::uint8_t>(" .,\r\n"[r / 100 % 5]));
    }
    return text;
}

void count_bytes(benchmark::State& state, std::size_t per_iteration) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(per_iteration));
}

bool use_level(benchmark::State& state) {
    const auto level = static_cast<simd_level>(state.range(0));
    limit_simd(level);
    if (simd_in_use() != level) {
        state.SkipWithError("not on this processor");
        return false;
    }
    return true;
}

void keep(benchmark::State& state) {
    if (!use_level(state))
        return;
    auto text = mixed_text(io_chunk_size);
    // In place, again and again: after the first pass the front is all letters, but no path
    // branches on the bytes, so every pass costs the same.
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores)
        benchmark::DoNotOptimize(keep_letters(text.data(), text.size()));
    count_bytes(state, text.size());
}

// The letters of that text in UTF-8 (about 1.85 times the bytes), into a buffer of their own.
void utf8_letters(benchmark::State& state) {
    if (!use_level(state))
        return;
    const auto text = mixed_text(io_chunk_size);
    std::vector<std::uint8_t> utf8(2 * text.size());
    utf8.resize(encode_utf8_scalar(text.data(), text.size(), utf8.data()));
    std::vector<std::uint8_t> letters(text.size());
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores)
        benchmark::DoNotOptimize(
            take_utf8_letters(utf8.data(), utf8.size(), 0, letters.data(), letters.size()));
    count_bytes(state, utf8.size());
}

// The check that counts malformed bytes, on the same UTF-8.
void utf8_valid(benchmark::State& state) {
    if (!use_level(state))
        return;
    const auto text = mixed_text(io_chunk_size);
    std::vector<std::uint8_t> utf8(2 * text.size());
    utf8.resize(encode_utf8_scalar(text.data(), text.size(), utf8.data()));
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores)
        utf8_check check;
        check_utf8(utf8.data(), utf8.size(), check);
        benchmark::DoNotOptimize(check);
    }
    count_bytes(state, utf8.size());
}

// Deciphered letters, all lowercase, written out as UTF-8: bytes per second of letters.
void encode(benchmark::State& state) {
    if (!use_level(state))
        return;
    auto letters = mixed_text(io_chunk_size);
    for (auto& b : letters)
        b = static_cast<std::uint8_t>(b | 0xE0U);
    std::vector<std::uint8_t> out(2 * letters.size());
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores)
        benchmark::DoNotOptimize(encode_utf8(letters.data(), letters.size(), out.data()));
    count_bytes(state, letters.size());
}

void full_blocks(benchmark::State& state) {
    if (!use_level(state))
        return;
    const auto n = static_cast<int>(state.range(1));
    const auto size = block_letters(n);
    std::vector<std::int32_t> order(static_cast<std::size_t>(n));
    fill_column_order(order.data(), n, "ABCDEFGHI"); // a transpose: every chunk feeds every other
    std::uint8_t table[max_block_size];
    make_block_table(order.data(), n, table);
    auto letters = mixed_text(io_chunk_size / size * size);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores)
        decipher_full_blocks(letters.data(), letters.size() / size, table, n);
        benchmark::DoNotOptimize(letters.data());
    }
    count_bytes(state, letters.size());
}

// The whole block loop, reading a 64 MiB file (in UTF-8 with a second argument of 1) from the
// page cache and writing /dev/null.
void block_loop(benchmark::State& state) {
    limit_simd(simd_level::avx2);
    const auto buffer_size = static_cast<std::size_t>(state.range(0));
    auto text = mixed_text(64 << 20);
    if (state.range(1) != 0) {
        std::vector<std::uint8_t> utf8(2 * text.size());
        utf8.resize(encode_utf8(text.data(), text.size(), utf8.data()));
        text = std::move(utf8);
    }
    std::FILE* in = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), in);
    std::FILE* out = std::fopen("/dev/null", "w");
    const std::int32_t order[] = {8, 1, 6, 3, 4, 5, 2, 7, 0};
    auto buffer = make_io_buffer(buffer_size);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores)
        std::rewind(in);
        letter_reader reader = make_letter_reader(in);
        if (decipher_stream(reader, out, order, 9, buffer.get(), buffer_size).failure !=
            stream_failure::none)
            state.SkipWithError("block loop failed");
    }
    count_bytes(state, text.size());
    std::fclose(in);
    std::fclose(out);
}

constexpr int scalar = static_cast<int>(simd_level::scalar);
constexpr int avx2 = static_cast<int>(simd_level::avx2);

} // namespace

BENCHMARK(keep)->DenseRange(scalar, avx2);
BENCHMARK(utf8_letters)->DenseRange(scalar, avx2);
BENCHMARK(utf8_valid)->DenseRange(scalar, avx2);
BENCHMARK(encode)->DenseRange(scalar, avx2);
BENCHMARK(full_blocks)
    ->ArgsProduct({benchmark::CreateDenseRange(scalar, avx2, 1), {3, 4, 5, 7, 9}});
BENCHMARK(block_loop)->ArgsProduct({benchmark::CreateRange(16 << 10, 4 << 20, 4), {0}});
BENCHMARK(block_loop)->Args({io_chunk_size, 1});

BENCHMARK_MAIN();
