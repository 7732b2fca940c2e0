// Undoing the block transposition.
//
// Layout: the text is cut into blocks of n * n letters (the last may be short). A block's
// letters fill an n x n square row by row; its ciphertext gives the columns in column order,
// each from the top down, and only the cells the text reaches are present.
#pragma once

#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

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

// Ciphertext as it is written out: groups of five letters parted by a blank, ten groups a line.
inline constexpr std::size_t group_letters = 5;
inline constexpr std::size_t line_letters = 10 * group_letters;

// Lays letters[0, size) out in groups into out, which has room for size + size / 5 + 1
// bytes; laid counts the letters laid out before, on the same line count, and is advanced.
// A line break comes before a line's first letter; the caller ends the last line. Returns the
// bytes written.
std::size_t lay_out_groups(const std::uint8_t* letters, std::size_t size, std::uint64_t& laid,
                           std::uint8_t* out);

enum class stream_fault { none, read, write };

// The block loop, in one pass: deciphers the letters of in, from its position to its end, into
// out, written in in's encoding (its UTF-8 mark first, if it had one). buffer holds at least one
// block, and its whole blocks are one read; its first `held` bytes may already hold letters
// taken from in, at most as many as those whole blocks.
stream_fault decipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size, std::size_t held = 0);

// The same the other way: enciphers the letters of in, from its position to its end, into out
// as groups, every line ended, in in's encoding. buffer holds at least one block; its whole
// blocks are one read. letters_read, if given, gets the number of letters enciphered.
stream_fault encipher_stream(letter_reader& in, std::FILE* out, const std::int32_t* order, int n,
                             std::uint8_t* buffer, std::size_t buffer_size,
                             std::uint64_t* letters_read = nullptr);
