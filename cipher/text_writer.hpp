// Text written out in the encoding its input had.
#pragma once

#include "cipher/text_encoding.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Writes text[0, size) to out in encoding: Windows-1251 (or UTF-16, which has no letters to
// write) as it is, UTF-8 through encode_utf8 and CP866 and KOI8-R through their tables, in
// pieces of scratch, which holds scratch_size bytes, at least 2. False on a write error, errno
// kept.
bool write_text(std::FILE* out, const std::uint8_t* text, std::size_t size, text_encoding encoding,
                std::uint8_t* scratch, std::size_t scratch_size);
