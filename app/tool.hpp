// What every tool's run shares: messages, the key line, the output file and the last checks.
#pragma once

#include "cipher/key_order.hpp"
#include "cipher/letter_stream.hpp"
#include "cipher/text_stream.hpp"

#include <array>
#include <cstdint>
#include <cstdio>

// "program: what: reason" on standard error.
void report(const char* program, const char* what, const char* reason);
void report_errno(const char* program, const char* what, int error);

using key_word = std::array<char, max_key_length + 1>;

// The version every tool reports.
const char* tool_version();

// How a tool is called.
struct tool_interface {
    const char* program;
    bool takes_key;          // -k KEY, --key=KEY
    const char* operands;    // as the usage line shows them
    const char* description; // the rest of --help
    const char* input_name;  // the operands' defaults
    const char* output_name;
};

// What a command line asks for. A file name "-" is standard input or output.
struct run_request {
    const char* key = nullptr; // from -k, as given
    const char* input_name = nullptr;
    const char* output_name = nullptr;
    int status = -1; // when not -1, the run is over (--help, --version, a usage error)
};

// Parses the command line with getopt_long: --help and --version print and end the run with
// status 0; an unknown option, a missing option argument, too many operands or text from
// standard input with no key to read it by are reported with the usage, status 2.
run_request parse_command_line(const tool_interface& tool, int argc, char** argv);

// The name a message gives for a file operand: "-" is a standard stream.
const char* shown_input_name(const char* name);
const char* shown_output_name(const char* name);

// Reads one line and keeps at most max_key_length bytes of it as typed, blanks included; a CR
// before the line feed belongs to the line break. Returns the key length, or -1 on a read error.
int read_key_word(std::FILE* console, key_word& key);

// Where the prompt, the order line and crack's candidates go: standard output, or standard
// error once set_console_for is told that standard output carries the text.
std::FILE* console();
void set_console_for(const char* output_name);

// Opens name for reading, "-" being standard input. nullptr and errno on failure.
std::FILE* open_named_input(const char* name);

// open_named_input; a directory counts as unreadable. Reports and returns nullptr on failure.
std::FILE* open_input(const char* program, const char* name);

// Closes a stream from open_named_input; standard input stays open.
void close_input(std::FILE* in);

// Reads the start of the text for a byte-order mark: UTF-16 text, or a text that cannot be
// read at all, is reported and refused with true.
bool refuse_text(const char* program, const char* name, letter_reader& reader);

// The key from key_argument (-k), or else prompted for and read from standard input; builds
// the column order and prints it. Returns the key length, or 0 after reporting a failure or an
// empty key (a block of no letters would never move through the text).
int get_key(const char* program, const char* key_argument,
            std::array<std::int32_t, max_key_length>& order);

// Opens out_name ("-": standard output) for writing and empties it, unless it is the very
// file `in` reads: that is refused before anything is touched. Reports and returns nullptr on
// failure.
std::FILE* open_output_apart(const char* program, std::FILE* in, const char* in_name,
                             const char* out_name);

// 0 for a block loop that went through, else 1 after naming the file that failed and why.
int stream_status(const char* program, stream_fault fault, const char* in_name,
                  const char* out_name);

// Flushes standard output, keeping the reason of its first failure for finish_run. Returns
// that reason, or 0 while it has taken everything.
int flush_standard_output();

// A tool's whole run: guards the standard streams, parses the command line and hands what it
// asks for to run. An allocation failure ends the run with "PROG: Cannot allocate memory" and
// status 1, and removes a new file it has not put in place.
int run_guarded(const tool_interface& tool, int (*run)(const run_request&), int argc, char** argv);

// Closes in and out, standard streams excepted, and flushes standard output. A failure the run has
// not reported yet is reported, and turns a status of 0 into 1. Returns the status.
int finish_run(const char* program, std::FILE* in, std::FILE* out, const char* out_name,
               int status);
