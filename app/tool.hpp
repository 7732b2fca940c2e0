// A tool's whole run, from the command line to the exit status.
#pragma once

#include "app/command_line.hpp"
#include "app/output_file.hpp"
#include "app/run_context.hpp"
#include "cipher/text_stream.hpp"

#include <cstdio>
#include <optional>

// A tool's run, given what its command line asks for.
using run_function = int (*)(run_context& run, const run_request& request);

// Guards the standard streams, sets the locale, parses the command line and hands what it asks
// for to run. An allocation failure ends the run with "PROG: Cannot allocate memory" and status
// 1, a new file not yet in place removed on the way.
int run_guarded(const tool_interface& tool, run_function run, int argc, char** argv);

// 0 for a block loop that went through, else 1 after naming the file that failed and why.
int stream_status(run_context& run, stream_fault fault, const char* in_name, std::FILE* out,
                  const char* out_name);

// What the block loops are to know of a run: the encoding -e asks the output in (empty for the
// input's), whether in is a file, whose reads never wait, and whether out is a terminal, which
// without -e gets the text in its own character set.
stream_extras extras_for(const run_request& request, std::FILE* in, std::FILE* out);

// The text read in the encoding --from names, if it names one, instead of the judged one.
void read_as_asked(const run_request& request, letter_reader& reader);

// Closes in (standard input excepted) and finishes out: a file written in place is closed, a
// replacing one put in place when status is 0 and discarded otherwise; standard output is
// checked first, so that a run that reports a failure changes nothing. A failure the run has
// not reported yet is reported, and turns a status of 0 into 1. Returns the status.
int finish_run(run_context& run, std::FILE* in, output_file& out, const char* out_name, int status);
int finish_run(run_context& run, std::FILE* in, int status);
