// Buffers for reading and writing in large chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

#ifdef _WIN32
#include <malloc.h>
#endif

// Bytes fetched per read: the smallest size at full speed in the block-loop benchmark
// (bench/README.md). Smaller chunks pay for more calls; larger ones gain nothing.
inline constexpr std::size_t io_chunk_size = std::size_t{256} * 1024;

// The one place that differs by platform in the core: the C runtime of Windows has no
// aligned_alloc, and what _aligned_malloc gives must go back to _aligned_free.
#ifdef _WIN32
inline void* allocate_aligned(std::size_t alignment, std::size_t size) {
    return _aligned_malloc(size, alignment);
}
inline constexpr auto free_bytes = [](std::uint8_t* bytes) { _aligned_free(bytes); };
#else
inline void* allocate_aligned(std::size_t alignment, std::size_t size) {
    return std::aligned_alloc(alignment, size);
}
inline constexpr auto free_bytes = [](std::uint8_t* bytes) { std::free(bytes); };
#endif
using io_buffer = std::unique_ptr<std::uint8_t[], std::remove_const_t<decltype(free_bytes)>>;

// Page-aligned, because the kernel copies into such a buffer markedly faster.
inline io_buffer make_io_buffer(std::size_t size) {
    constexpr std::size_t page = 4096;
    void* bytes = allocate_aligned(page, (size + page - 1) / page * page);
    if (bytes == nullptr)
        throw std::bad_alloc();
    return io_buffer(static_cast<std::uint8_t*>(bytes));
}
