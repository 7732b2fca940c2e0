// The cipher drawn as a student draws it by hand: the key over its columns, the order the
// columns are read in, and the text's first block as its square.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

enum class table_way { decipher, encipher };

// Draws the table on stream, in the terminal's character set. key is the Windows-1251 key of n
// characters and order its column order; plain[0, plain_size) the plaintext from its start (at
// least its first block), letters the length of the whole text.
void draw_cipher_table(std::FILE* stream, table_way way, const std::string& key,
                       const std::int32_t* order, int n, const std::uint8_t* plain,
                       std::size_t plain_size, std::uint64_t letters);
