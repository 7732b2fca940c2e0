// What the web page calls: the tools' flows over texts held in memory, each answering in JSON,
// its text written in the output's encoding beside it (core_output). Built with emscripten; the
// page reaches these through the module's exports. Messages are the tools' English ones, with
// their arguments, for the page to put in its language.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// The encoding of text[0, size) as the tools decide it: 0 Windows-1251, 1 UTF-8, 2 UTF-16.
int core_encoding(const std::uint8_t* text, std::size_t size);

// Deciphers (way 0) or enciphers (way 1) text[0, size) with key, UTF-8. output: -1 the input's
// encoding, 0 Windows-1251, 1 UTF-8. name (UTF-8) stands for the text in messages. words
// (not 0): a plaintext in words, as decipher --words writes it.
const char* core_cipher(int way, const std::uint8_t* text, std::size_t size, const char* key,
                        const char* name, int output, int words);

// Finds the key of text[0, size): key lengths shortest to longest, top candidates, crib (UTF-8)
// a word the plaintext holds, or empty; the text deciphered with the best one is the output.
const char* core_crack(const std::uint8_t* text, std::size_t size, const char* crib, int shortest,
                       int longest, int top, const char* name, int output, int words);

// The last run's text, in the encoding its answer names; empty after a refused run.
const std::uint8_t* core_output();
std::size_t core_output_size();
}
