// The checks every tool makes of its text and its output before it asks for a key or writes a
// byte, in the order they run: the text opens, is no directory, is text the tools can read,
// and the output is not that very file.
#pragma once

#include "app/command_line.hpp"
#include "app/output_file.hpp"
#include "app/run_context.hpp"
#include "cipher/letter_reader.hpp"

#include <cstdio>
#include <optional>

// Whether name is standard input: "-", or another name of what descriptor 0 reads, such as
// /dev/stdin or the very file redirected to it.
bool names_standard_input(const char* name);

// Text from standard input leaves no line to read the key from: without -k that is a usage
// error, with its message and status 2 set in request. True when it is.
bool refuse_text_without_key(const tool_interface& tool, run_request& request);

// How opening the text went.
enum class text_check {
    ready,   // open, its start read: the reader is set
    missing, // it cannot be opened: open_error holds why, nothing reported yet
    refused, // reported: a directory, UTF-16, or unreadable
};

// Opens the text named by name ("-": standard input) and reads its start. in is set when it
// opened, whatever the outcome; close_text closes it. A named pipe that out_name names too is
// refused unopened.
text_check open_text(run_context& run, const char* name, const char* out_name, std::FILE*& in,
                     letter_reader& reader, int& open_error);
void close_text(std::FILE* in);

// What a tool does when its text cannot be opened: reports it, and returns the run's status.
using missing_text = int (*)(run_context& run, const run_request& request, int open_error);

// open_text for a run's input: empty when the text is ready. Else the run is over and its status
// is returned: a text that cannot be opened is handed to missing, or by default reported under
// its name, and in is closed.
std::optional<int> open_run_text(run_context& run, const run_request& request, std::FILE*& in,
                                 letter_reader& reader, missing_text missing = nullptr);

// Whether writing out_name would overwrite what in reads; reported as such.
bool refuse_same_file(run_context& run, std::FILE* in, const char* in_name, const char* out_name);

// Opens out_name ("-": standard output) to be written in place and empties it, unless it is the
// very file in reads: that is refused before anything is touched. Reports and returns false on
// failure.
bool open_output_apart(run_context& run, std::FILE* in, const char* in_name, const char* out_name,
                       output_file& out);

// Opens the file that will take the place of out_name: a regular file (or none) is replaced by a
// new file once that is whole; standard output, a named pipe or a device is written in place,
// since nothing could take its place. A file its owner made read-only is not replaced. Reports
// and returns false on failure.
bool open_destination(run_context& run, std::FILE* in, const char* in_name, const char* out_name,
                      output_file& out);
