#include "cipher/text_stream.hpp"

#include "cipher/letter_stream.hpp"
#include "cipher/transposition.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

namespace {

// What the stream loops need to write in the input's encoding: scratch for UTF-8, none for
// Windows-1251, which goes out as it is.
struct text_writer {
    text_encoding encoding;
    io_buffer scratch;
    std::size_t scratch_size;
};

text_writer writer_for(text_encoding encoding) {
    const std::size_t size = encoding == text_encoding::utf8 ? io_chunk_size : 0;
    return {encoding, size > 0 ? make_io_buffer(size) : io_buffer{}, size};
}

// Decides in's encoding, reading ahead as far as that takes, and writes its mark, if any.
stream_fault start_text(letter_reader& in, std::FILE* out) {
    decide_encoding(in);
    if (reader_failed(in))
        return stream_fault::read;
    return write_byte_order_mark(out, in) ? stream_fault::none : stream_fault::write;
}

bool write_out(std::FILE* out, const text_writer& writer, const std::uint8_t* text,
               std::size_t size) {
    return write_text(out, text, size, writer.encoding, writer.scratch.get(), writer.scratch_size);
}

} // namespace

stream_fault decipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size, std::size_t held) {
    const std::size_t block_size = block_letters(n);
    const std::size_t capacity = buffer_size / block_size * block_size;
    assert(capacity > 0 && held <= capacity);
    std::array<std::uint8_t, max_block_size> table;
    make_block_table(order, n, table.data());
    if (const stream_fault fault = start_text(in, out); fault != stream_fault::none)
        return fault;
    const text_writer writer = writer_for(in.encoding);

    for (;;) {
        const std::size_t got = held + read_letters(in, buffer + held, capacity - held);
        held = 0;
        if (reader_failed(in))
            return stream_fault::read;
        // Full blocks never depend on where the text ends, so they go out as they come.
        const std::size_t full = got / block_size * block_size;
        decipher_full_blocks(buffer, full / block_size, table.data(), n);
        if (!write_out(out, writer, buffer, full))
            return stream_fault::write;
        if (got == capacity)
            continue;
        // The stream has ended: what is left is the short last block, if any, and its shape
        // follows from its own length.
        std::array<std::uint8_t, max_block_size> plain;
        const std::size_t size = unscramble_block(
            buffer + full, order, n, 0, static_cast<std::int64_t>(got - full), plain.data());
        return write_out(out, writer, plain.data(), size) ? stream_fault::none
                                                          : stream_fault::write;
    }
}

std::size_t lay_out_groups(const std::uint8_t* letters, std::size_t size, std::uint64_t& laid,
                           std::uint8_t* out) {
    std::uint8_t* const begin = out;
    for (std::size_t i = 0; i < size;) {
        if (laid % line_letters == 0 && size - i >= line_letters) { // a whole line at once
            if (laid > 0)
                *out++ = '\n';
            for (std::size_t group = 0; group < line_letters / group_letters; ++group) {
                if (group > 0)
                    *out++ = ' ';
                std::memcpy(out, letters + i, group_letters);
                out += group_letters;
                i += group_letters;
            }
            laid += line_letters;
            continue;
        }
        if (laid % line_letters == 0 && laid > 0)
            *out++ = '\n';
        else if (laid % group_letters == 0 && laid > 0)
            *out++ = ' ';
        // The rest of this group in one copy.
        const auto room = static_cast<std::size_t>(group_letters - laid % group_letters);
        const std::size_t take = std::min(room, size - i);
        std::memcpy(out, letters + i, take);
        out += take;
        i += take;
        laid += take;
    }
    return static_cast<std::size_t>(out - begin);
}

stream_fault encipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size,
                             std::uint64_t* letters_read) {
    const std::size_t block_size = block_letters(n);
    const std::size_t capacity = buffer_size / block_size * block_size;
    assert(capacity > 0);
    if (const stream_fault fault = start_text(in, out); fault != stream_fault::none)
        return fault;
    const text_writer writer = writer_for(in.encoding);
    const auto cipher = make_io_buffer(capacity);
    const auto text = make_io_buffer(capacity + capacity / group_letters + 1);
    std::uint64_t laid = 0;
    for (;;) {
        // Every read but the last is whole blocks, so blocks never straddle two reads.
        const std::size_t got = read_letters(in, buffer, capacity);
        if (reader_failed(in))
            return stream_fault::read;
        encipher_letters(buffer, got, order, n, cipher.get());
        std::size_t size = lay_out_groups(cipher.get(), got, laid, text.get());
        const bool last = got < capacity;
        if (last && laid > 0)
            text[size++] = '\n';
        if (letters_read != nullptr)
            *letters_read = laid;
        if (!write_out(out, writer, text.get(), size))
            return stream_fault::write;
        if (last)
            return stream_fault::none;
    }
}
