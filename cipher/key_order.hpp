// The column order a key word gives.
#pragma once

#include <cstdint>
#include <cstdio>

inline constexpr int max_key_length = 9;

// Fills order[0, n) with the key positions in the order their columns stand in the ciphertext:
// by key character ascending as a signed byte, equal characters by descending position.
// n is at most max_key_length.
void fill_column_order(std::int32_t* order, int n, const char* key_word);

// Writes "INDEX SORT COMPLEATE: " and each entry followed by a space, then ends the line.
void print_column_order(std::FILE* console, const std::int32_t* order, int n);
