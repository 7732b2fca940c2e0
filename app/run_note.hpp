// The notes the tools and the web page both give after a run, kept as their English texts: a
// tool shows one with tr, the page with its own.
#pragma once

#include "analysis/verdict.hpp"
#include "cipher/letter_reader.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

struct run_note {
    const char* text = nullptr;   // nullptr: nothing to say
    const char* plural = nullptr; // the form for many, when the note counts n
    std::uint64_t n = 0;          // fills a %zu
    std::string arg;              // fills a %s
};

// The note in the run's language, its %zu or %s filled.
std::string note_text(const run_note& note);

// The bytes the reader skipped as malformed UTF-8, when it skipped any.
run_note skipped_bytes_note(const letter_reader& reader);

// A plaintext deciphered with a given key and judged so, when it does not read as Russian.
run_note plaintext_note(text_verdict verdict);

// crack's best candidate judged so, from a text named name that held letters: no key gives
// Russian; too few letters, offering a crib or a key length where none is given; or, when close,
// the runner-up is close.
run_note candidate_note(text_verdict verdict, bool close, const char* name, std::size_t letters,
                        bool crib_given, bool length_given);
