// The one note a run gives on UTF-8 it could not read.
#pragma once

#include "app/run_context.hpp"
#include "cipher/letter_reader.hpp"

// When the reader skipped malformed UTF-8, says how many bytes, once, on standard error:
// "decipher: Crypt.txt: 1 byte is not UTF-8; skipped". name is the input's name as the user
// gave it. Nothing otherwise.
void note_skipped_bytes(const run_context& run, const char* name, const letter_reader& reader);
