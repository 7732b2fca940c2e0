// What every tool's run shares: messages, the key line, the output file and the last checks.
#pragma once

#include "cipher/key_order.hpp"

#include <array>
#include <cstdio>

// "program: what: reason" on standard error.
void report(const char* program, const char* what, const char* reason);
void report_errno(const char* program, const char* what, int error);

using key_word = std::array<char, max_key_length + 1>;

// The version every tool reports.
const char* tool_version();

// --help prints usage, --version the version, and any other argument is a usage error; a
// status to end with, or -1 when there were no arguments.
int handle_arguments(const char* program, int argc, char** argv, const char* usage);

// Reads one line and keeps at most max_key_length bytes of it as typed, blanks included; a CR
// before the line feed belongs to the line break. Returns the key length, or -1 on a read error.
int read_key_word(std::FILE* console, key_word& key);

// Opens out_name for writing and empties it, unless it is the very file `in` reads: that is
// refused before anything is touched. Reports and returns nullptr on failure.
std::FILE* open_output_apart(const char* program, std::FILE* in, const char* in_name,
                             const char* out_name);

// Flushes standard output, keeping the reason of its first failure for finish_run.
void flush_standard_output();

// Closes in and out and flushes standard output. A failure the run has not reported yet is
// reported, and turns a status of 0 into 1. Returns the status.
int finish_run(const char* program, std::FILE* in, std::FILE* out, const char* out_name,
               int status);
