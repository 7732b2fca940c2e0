// Undoing the block transposition.
//
// Layout: the text is cut into blocks of n * n letters (the last may be short). A block's
// letters fill an n x n square row by row; its ciphertext gives the columns in column order,
// each from the top down, and only the cells the text reaches are present.
#pragma once

#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp" // block_letters

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t max_block_size = block_letters(max_key_length);

// The general path, for any block including a short last one: block holds the block's
// ciphertext letters in file order, letters_done is the text position of its first cell and
// letter_total the length of the text. Writes the present cells row by row, lowercased, to
// plain and returns how many.
std::size_t unscramble_block(const std::uint8_t* block, const std::int32_t* order, int n,
                             std::int64_t letters_done, std::int64_t letter_total,
                             std::uint8_t* plain);

// For a full block: table[q] is the index, among the block's ciphertext letters, of the letter
// that belongs at block position q. Holds n * n entries.
void make_block_table(const std::int32_t* order, int n, std::uint8_t* table);

// The fast path: deciphers whole blocks of n * n letters in place.
void decipher_full_blocks(std::uint8_t* letters, std::size_t blocks, const std::uint8_t* table,
                          int n);
// The same, a byte at a time: the reference the vector paths are checked against.
void decipher_full_blocks_scalar(std::uint8_t* letters, std::size_t blocks,
                                 const std::uint8_t* table, int n);

// A whole text held in memory, letters[0, size), the last block short when size is no multiple
// of n * n: writes its size lowercase plaintext letters to plain.
void decipher_letters(const std::uint8_t* letters, std::size_t size, const std::int32_t* order,
                      int n, std::uint8_t* plain);

// The other way: a whole plaintext held in memory, plain[0, size), the last block short when
// size is no multiple of n * n: writes its size ciphertext letters, uppercase, to cipher.
void encipher_letters(const std::uint8_t* plain, std::size_t size, const std::int32_t* order, int n,
                      std::uint8_t* cipher);
