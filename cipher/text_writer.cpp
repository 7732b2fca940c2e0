#include "cipher/text_writer.hpp"

#include "cipher/code_pages.hpp"
#include "cipher/letter_kernels.hpp"

#include <algorithm>
#include <cassert>

bool write_text(std::FILE* out, const std::uint8_t* text, std::size_t size, text_encoding encoding,
                std::uint8_t* scratch, std::size_t scratch_size) {
    if (const byte_table* table = letters_from_windows_1251(encoding)) {
        assert(scratch_size >= 2);
        for (std::size_t done = 0; done < size;) {
            const std::size_t piece = std::min(size - done, scratch_size);
            translate_bytes(text + done, piece, *table, scratch);
            if (std::fwrite(scratch, 1, piece, out) != piece)
                return false;
            done += piece;
        }
        return true;
    }
    if (encoding != text_encoding::utf8)
        return std::fwrite(text, 1, size, out) == size;
    assert(scratch_size >= 2);
    for (std::size_t done = 0; done < size;) {
        const std::size_t piece = std::min(size - done, scratch_size / 2);
        const std::size_t bytes = encode_utf8(text + done, piece, scratch);
        if (std::fwrite(scratch, 1, bytes, out) != bytes)
            return false;
        done += piece;
    }
    return true;
}
