// The note a run gives on a text it read in an encoding other than the two it expects.
#pragma once

#include "app/run_context.hpp"
#include "cipher/letter_reader.hpp"

// Once the encoding is decided, says on standard error what the letter counts made of the text,
// unless --from named its encoding: "decipher: Crypt.txt: read as KOI8-R" for CP866 or KOI8-R,
// and, for a text read as Windows-1251 though the counts lean to another set without making
// sure (a short text), which one and how to ask for it. name is the input's name as given.
void note_encoding(const run_context& run, const char* name, const letter_reader& reader);
