// The alphabet and the ciphertext read as a stream of letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Letters in a full block of side n.
constexpr std::size_t block_letters(int n) {
    return static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
}

// Windows-1251 А..Я and а..я: 0xC0..0xFF, i.e. -64..-1 as a signed byte.
constexpr bool is_letter_byte(std::uint8_t b) {
    return b >= 0xC0;
}

constexpr bool is_alphabet_letter(char c) {
    const auto s = static_cast<signed char>(c);
    return s >= -64 && s <= -1;
}

// Moves the letters of bytes[0, size) to its front, in order; returns how many there are.
// The bytes after them are left with no meaning.
std::size_t keep_letters(std::uint8_t* bytes, std::size_t size);
// The same, a byte at a time: the reference the vector paths are checked against.
std::size_t keep_letters_scalar(std::uint8_t* bytes, std::size_t size);

// UTF-16 is only ever named by its mark, and has no letters here: the tools refuse it.
enum class text_encoding { windows_1251, utf8, utf16 };

// A stream read as letters, in the encoding it turns out to have. The encoding is decided once,
// from the start of the stream, as text editors do: a byte-order mark names it; else UTF-8 when
// the opening non-ASCII bytes are well-formed UTF-8; else Windows-1251. Bytes read while
// deciding are kept here and served before the stream.
struct letter_reader {
    std::FILE* stream = nullptr;
    bool decided = false; // the encoding is known
    text_encoding encoding = text_encoding::windows_1251;
    bool byte_order_mark = false; // the stream opened with the mark of `encoding`
    bool mark_looked_for = false;
    bool ended = false; // a read came up short: the stream's end, or a read error
    // Bytes fetched per read of UTF-8 text, and the size of `ahead`; the decision judges the
    // first chunk_size / 4 bytes at or above 0x80.
    std::size_t chunk_size = io_chunk_size;
    io_buffer ahead; // ahead[ahead_at, ahead_size): read, not yet served
    std::size_t ahead_at = 0;
    std::size_t ahead_size = 0;
    // UTF-8: the byte before ahead[ahead_at], whose letter a read may have cut.
    std::uint8_t previous = 0;
};

// A reader of stream, nothing read yet. chunk_size (at least 8) is smaller only in tests, to
// reach every boundary with short texts.
letter_reader make_letter_reader(std::FILE* stream, std::size_t chunk_size = io_chunk_size);

// Reads at most the first 3 bytes of the stream, kept for the letters, to look for a byte-order
// mark: EF BB BF decides UTF-8, FF FE or FE FF UTF-16. True when one was found. Blocks only for
// those 3 bytes; later calls read nothing and give the same answer.
bool read_byte_order_mark(letter_reader& reader);

// Decides the encoding if it is not decided yet, after the mark. ASCII is read past, as
// neither encoding has letters in it; what is judged runs from the start of the stream to its
// (chunk_size / 4)-th byte above 0x7F (65,536 such bytes by default), read ahead with the ASCII
// between them squeezed, so memory stays flat. The stream is UTF-8 when that is well-formed
// UTF-8, strictly (no overlong forms, no surrogates, nothing above U+10FFFF), a character cut
// at its end allowed only when more bytes above 0x7F follow; else Windows-1251. Two
// Windows-1251 letters in a row are never UTF-8, so Russian words in Windows-1251 stay that,
// whatever comes before them. A stream with no byte above 0x7F is Windows-1251. On a read error
// it decides on what it got.
text_encoding decide_encoding(letter_reader& reader);

// Stores the next `wanted` letters at letters, as Windows-1251 bytes 0xC0..0xFF, and returns how
// many it stored: fewer only at the end of the stream or on a read error (reader_failed tells).
// The letters of UTF-8 are U+0410..U+044F; any other character, Ё and ё included, and any
// malformed byte after the decision are skipped. A UTF-16 stream gives none. Never serves a
// letter it does not store: the next call goes on right behind the last one.
std::size_t read_letters(letter_reader& reader, std::uint8_t* letters, std::size_t wanted);

// read_letters for the next blocks * n * n letters.
std::size_t read_block(letter_reader& reader, std::uint8_t* block, int n, std::size_t blocks = 1);

// Whether a read of the stream failed.
bool reader_failed(const letter_reader& reader);

// What one step of take_utf8_letters took.
struct utf8_progress {
    std::size_t letters; // stored
    std::size_t bytes;   // consumed
};

// The Cyrillic letters among UTF-8 bytes[0, size), as Windows-1251 letters, stored at letters:
// at most room of them, stopping right behind the byte that ends the room-th. previous is the
// byte before bytes[0] (0 at the start of the text). A letter is D0 90..BF or D1 80..8F, and
// since neither lead byte is ever a continuation byte, that pair alone decides it, malformed
// neighbours or not.
utf8_progress take_utf8_letters(const std::uint8_t* bytes, std::size_t size, std::uint8_t previous,
                                std::uint8_t* letters, std::size_t room);
// The same, a byte at a time: the reference the vector paths are checked against.
utf8_progress take_utf8_letters_scalar(const std::uint8_t* bytes, std::size_t size,
                                       std::uint8_t previous, std::uint8_t* letters,
                                       std::size_t room);

// Text as the stream loops make it (Windows-1251 letters, ASCII) in UTF-8 at out, which holds
// 2 * size bytes: each letter as its two bytes, every other byte as it is. Returns the size.
std::size_t encode_utf8(const std::uint8_t* text, std::size_t size, std::uint8_t* out);
std::size_t encode_utf8_scalar(const std::uint8_t* text, std::size_t size, std::uint8_t* out);

// Writes text[0, size) to out in encoding: Windows-1251 (or UTF-16, which has no letters to
// write) as it is, UTF-8 through encode_utf8 in pieces of scratch, which holds scratch_size
// bytes, at least 2. False on a write error, errno kept.
bool write_text(std::FILE* out, const std::uint8_t* text, std::size_t size, text_encoding encoding,
                std::uint8_t* scratch, std::size_t scratch_size);

// The output takes the input's encoding, mark included: writes EF BB BF when the reader's
// stream opened with it, nothing otherwise. False on a write error.
bool write_byte_order_mark(std::FILE* out, const letter_reader& reader);
