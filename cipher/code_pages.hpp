// CP866 and KOI8-R, the other single-byte Cyrillic sets Russian text comes in: their letters as
// Windows-1251 bytes and back, one table lookup a byte.
#pragma once

#include "cipher/text_encoding.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

using byte_table = std::array<std::uint8_t, 256>;

// For a byte of encoding (CP866 or KOI8-R): the Windows-1251 letter it is, Ё and ё as A8 and B8,
// and 0x00 for any other byte, which is no letter to the readers. nullptr for other encodings.
const byte_table* letters_as_windows_1251(text_encoding encoding);

// The other way, for text as the stream loops make it: a Windows-1251 letter, Ё or ё as
// encoding has it, an ASCII byte as it is. nullptr for other encodings.
const byte_table* letters_from_windows_1251(text_encoding encoding);

// bytes[0, size) through table, in place.
void translate_bytes(std::uint8_t* bytes, std::size_t size, const byte_table& table);
// from[0, size) through table into to.
void translate_bytes(const std::uint8_t* from, std::size_t size, const byte_table& table,
                     std::uint8_t* to);
