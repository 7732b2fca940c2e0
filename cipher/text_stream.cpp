#include "cipher/text_stream.hpp"

#include "cipher/alphabet.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/read_ahead.hpp"
#include "cipher/stream_output.hpp"
#include "cipher/transposition.hpp"

#include <cassert>
#include <cerrno>
#include <cstring>

stream_fault decipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size, std::size_t held,
                             const stream_extras& extras) {
    block_work work{order, n, block_letters(n), 0, {}};
    work.capacity = buffer_size / work.block_size * work.block_size;
    assert(work.capacity > 0 && held <= work.capacity);
    make_block_table(order, n, work.table.data());
    decide_encoding(in);
    if (reader_failed(in))
        return {stream_failure::read, errno};

    if (reads_run_ahead(extras))
        if (const auto fault = decipher_read_ahead(in, out, work, buffer, held, extras))
            return *fault;
    stream_output output = make_stream_output(in, extras);
    for (;;) {
        const std::size_t got = held + read_letters(in, buffer + held, work.capacity - held);
        held = 0;
        if (reader_failed(in)) {
            const int error = errno;
            if (!write_plain(out, output, extras, buffer, 0, true))
                return {stream_failure::write, errno};
            return {stream_failure::read, error};
        }
        decipher_read(work, buffer, got);
        note_plaintext(extras.summary, buffer, got);
        if (!write_plain(out, output, extras, buffer, got, got < work.capacity))
            return {stream_failure::write, errno};
        if (got < work.capacity)
            return end_text(out, output) ? stream_fault{}
                                         : stream_fault{stream_failure::write, errno};
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
                             std::uint64_t* letters_read, const stream_extras& extras) {
    const std::size_t block_size = block_letters(n);
    const std::size_t capacity = buffer_size / block_size * block_size;
    assert(capacity > 0);
    decide_encoding(in);
    if (reader_failed(in))
        return {stream_failure::read, errno};
    stream_output output = make_stream_output(in, extras);
    const auto cipher = make_io_buffer(capacity);
    const auto text = make_io_buffer(capacity + capacity / group_letters + 1);
    std::uint64_t laid = 0;
    for (;;) {
        // Every read but the last is whole blocks, so blocks never straddle two reads.
        const std::size_t got = read_letters(in, buffer, capacity);
        if (reader_failed(in))
            return {stream_failure::read, errno};
        note_plaintext(extras.summary, buffer, got);
        encipher_letters(buffer, got, order, n, cipher.get());
        std::size_t size = lay_out_groups(cipher.get(), got, laid, text.get());
        const bool last = got < capacity;
        if (last && laid > 0)
            text[size++] = '\n';
        if (letters_read != nullptr)
            *letters_read = laid;
        if (!write_output(out, output, text.get(), size))
            return {stream_failure::write, errno};
        if (last)
            return {};
    }
}
