// How a tool is called: its options and operands, read from the command line.
#pragma once

#include "cipher/key_order.hpp"

#include <optional>
#include <string>
#include <vector>

// What a tool takes, and what --help says of it; filled by name.
struct tool_interface {
    const char* program = nullptr;
    bool takes_key = false;            // -k KEY, --key=KEY
    bool takes_search = false;         // --crib WORD, --length N[-M], --top N
    bool takes_verbose = false;        // -v, --verbose
    const char* operands = nullptr;    // as the usage line shows them
    const char* description = nullptr; // the rest of --help
    const char* input_name = nullptr;  // the operands' defaults
    const char* output_name = nullptr;
    bool takes_words = false; // --words
};

// What a command line asks for. A file name "-" is standard input or output.
enum class output_encoding { as_input, utf8, windows_1251, cp866, koi8_r };

struct run_request {
    const char* key = nullptr;    // from -k, as given
    std::string key_windows_1251; // the same, once checked and converted
    bool quiet = false;           // -q: no prompt, order line or candidates
    bool verbose = false;
    bool table = false; // --table: the cipher drawn on standard error
    output_encoding encoding = output_encoding::as_input;
    output_encoding from = output_encoding::as_input; // --from: the text's; as_input: judged
    std::vector<const char*> cribs;                   // --crib, as given
    int shortest = 1;                                 // --length: the key lengths tried
    int longest = max_key_length;
    int top = 0;        // --top: how many candidates are listed; 0 for the default
    bool words = false; // --words: the plaintext's word breaks put back
    const char* input_name = nullptr;
    const char* output_name = nullptr;
    // Set when the run is over (--help, --version, a usage error): `output` is for standard
    // output and `message` for standard error, each as it is to be written.
    std::optional<int> status;
    std::string output;
    std::string message;
};

// Parses the command line with getopt_long: --help and --version give their text and status 0;
// an unknown option, a missing or invalid option argument or too many operands give the message
// and the usage, status 2. Writes nothing.
run_request parse_command_line(const tool_interface& tool, int argc, char** argv);

// The usage lines, as a usage error ends with them.
std::string usage(const tool_interface& tool);

// The name a message gives for a file operand: "-" is a standard stream.
const char* shown_input_name(const char* name);
const char* shown_output_name(const char* name);
