#include "cipher/stream_output.hpp"

#include "cipher/alphabet.hpp"
#include "cipher/text_writer.hpp"

#include <algorithm>
#include <vector>

namespace {

// The encoding the text goes out in, and whether the mark goes before it.
text_encoding output_encoding(const letter_reader& in, const stream_extras& extras) {
    return extras.output.value_or(in.encoding);
}

bool output_mark(const letter_reader& in, const stream_extras& extras) {
    return !extras.terminal && in.byte_order_mark && in.encoding == text_encoding::utf8 &&
           output_encoding(in, extras) == text_encoding::utf8;
}

bool write_mark(std::FILE* out) {
    return std::fwrite(utf8_mark.data(), 1, utf8_mark.size(), out) == utf8_mark.size();
}

} // namespace

stream_output make_stream_output(const letter_reader& reader, const stream_extras& extras) {
    const text_encoding encoding = output_encoding(reader, extras);
    const bool encoded = encoding != text_encoding::windows_1251 && extras.write == nullptr;
    const std::size_t size = encoded ? io_chunk_size : 0;
    return {encoding,
            output_mark(reader, extras),
            size > 0 ? make_io_buffer(size) : io_buffer{},
            size,
            extras.write,
            extras.terminal,
            0};
}

bool write_output(std::FILE* out, stream_output& output, const std::uint8_t* text,
                  std::size_t size) {
    if (size == 0)
        return true;
    if (output.mark_due) {
        output.mark_due = false;
        if (!write_mark(out))
            return false;
    }
    output.last = text[size - 1];
    if (output.write != nullptr)
        return output.write(out, text, size);
    return write_text(out, text, size, output.encoding, output.scratch.get(), output.scratch_size);
}

bool write_plain(std::FILE* out, stream_output& output, const stream_extras& extras,
                 const std::uint8_t* letters, std::size_t size, bool last) {
    if (extras.filter.pass == nullptr)
        return write_output(out, output, letters, size);
    const std::vector<std::uint8_t>& text =
        extras.filter.pass(extras.filter.state, letters, size, last);
    return write_output(out, output, text.data(), text.size());
}

bool end_text(std::FILE* out, stream_output& output) {
    static constexpr std::uint8_t line_break[] = {'\n'};
    return !output.end_line || output.last == 0 || output.last == '\n' ||
           write_output(out, output, line_break, 1);
}

void note_plaintext(stream_summary* summary, const std::uint8_t* letters, std::size_t size) {
    if (summary == nullptr)
        return;
    const std::size_t take = std::min(size, summary->start.size() - summary->start_size);
    std::copy_n(letters, take,
                summary->start.begin() + static_cast<std::ptrdiff_t>(summary->start_size));
    summary->start_size += take;
    summary->letters += size;
}
