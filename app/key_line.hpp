// The key word: read from a line or taken from -k, in Windows-1251, cut to its use.
#pragma once

#include "app/command_line.hpp"
#include "app/run_context.hpp"
#include "cipher/key_order.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

using key_word = std::array<char, max_key_length + 1>;

// The most of a key line that is read: plenty for nine characters in any character set, and
// no piped file or endless stream is taken whole.
inline constexpr std::size_t key_line_bound = 512;

// Reads one line of at most key_line_bound bytes, without its line break: a CR before the line
// feed, or before the end of the input, belongs to the break, and a zero byte ends the line
// (nothing after it is read). cut tells that the bound ended it. False on a read error.
bool read_key_line(std::FILE* in, std::string& line, bool& cut);

// The key is the first max_key_length characters of the line. Returns the key length.
int cut_key(const std::string& line, key_word& key);

// An argument read as a key is (-k, a crib), as Windows-1251, checked before any file is
// touched: false after reporting, under `what`, a character with no Windows-1251 form. One CR
// at its end is dropped, as a typed line's is.
bool take_argument_text(run_context& run, const char* what, const char* argument,
                        std::string& text);

// The key from -k (taken by take_argument_text), or else prompted for and read from standard
// input; builds the column order and prints it. A key cut to max_key_length characters is said
// to be. Returns the key length, or 0 after reporting a failure or an empty key (a block of no
// letters would never move through the text). used, if given, gets the key as it is used.
int get_key(run_context& run, const run_request& request,
            std::array<std::int32_t, max_key_length>& order, std::string* used = nullptr);
