// What every tool's run shares: messages, the key line, the output file and the last checks.
#pragma once

#include "cipher/key_order.hpp"
#include "cipher/transposition.hpp"

#include <array>
#include <cstdint>
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

// Opens name for reading; a directory counts as unreadable. Reports and returns nullptr on
// failure.
std::FILE* open_input(const char* program, const char* name);

// Prompts for the key word, reads it, builds the column order and prints it. Returns the key
// length, or 0 after reporting a failure or an empty key (a block of no letters would never
// move through the text).
int ask_key(const char* program, std::array<std::int32_t, max_key_length>& order);

// Opens out_name for writing and empties it, unless it is the very file `in` reads: that is
// refused before anything is touched. Reports and returns nullptr on failure.
std::FILE* open_output_apart(const char* program, std::FILE* in, const char* in_name,
                             const char* out_name);

// 0 for a block loop that went through, else 1 after naming the file that failed and why.
int stream_status(const char* program, stream_fault fault, const char* in_name,
                  const char* out_name);

// Flushes standard output, keeping the reason of its first failure for finish_run. Returns
// that reason, or 0 while it has taken everything.
int flush_standard_output();

// Runs a tool's whole run. An allocation failure ends it with "PROG: Cannot allocate memory"
// and status 1, and removes a new file it has not put in place.
int run_guarded(const char* program, int (*run)(int, char**), int argc, char** argv);

// Closes in and out and flushes standard output. A failure the run has not reported yet is
// reported, and turns a status of 0 into 1. Returns the status.
int finish_run(const char* program, std::FILE* in, std::FILE* out, const char* out_name,
               int status);
