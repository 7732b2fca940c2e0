// The block loops as a tool runs them: what they are told of the run, and what their fault says.
#pragma once

#include "analysis/word_breaks.hpp"
#include "app/command_line.hpp"
#include "app/run_context.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/text_stream.hpp"

#include <cstdio>

// 0 for a block loop that went through, else 1 after naming the file that failed and why.
int stream_status(run_context& run, stream_fault fault, const char* in_name, std::FILE* out,
                  const char* out_name);

// What the block loops are to know of a run: the encoding -e asks the output in (empty for the
// input's), whether in is a file, whose reads never wait, and whether out is a terminal, which
// without -e gets the text in its own character set.
stream_extras extras_for(const run_request& request, std::FILE* in, std::FILE* out);

// The text read in the encoding --from names, if it names one, instead of the judged one.
void read_as_asked(const run_request& request, letter_reader& reader);

// What decipher_stream is given in decipher's and crack's runs: extras_for's, the plaintext's
// start kept in summary, and under --words the word breaks of words. Inline, as encipher links
// the rest of this without the word model.
inline stream_extras decipher_extras(const run_request& request, std::FILE* in, std::FILE* out,
                                     stream_summary& summary, word_breaker& words) {
    stream_extras extras = extras_for(request, in, out);
    extras.summary = &summary;
    if (request.words)
        extras.filter = word_break_filter(words);
    return extras;
}
