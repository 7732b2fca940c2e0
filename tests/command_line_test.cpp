// The command line read in-process: argv in; key, operands, status and message out.
#include "app/command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr tool_interface keyed = {"decipher", true,        "[CRYPT [DECRYPT]]",
                                  "help text\n", "Crypt.txt", "Decrypt.txt"};
constexpr tool_interface keyless = {"crack", false,       "[CRYPT [DECRYPT]]",
                                    "help text\n", "Crypt.txt", "Decrypt.txt"};

struct parse_case {
    const char* name;
    std::vector<const char*> args; // after the program's name
    const tool_interface* tool = &keyed;
    int status = -1;
    const char* key = nullptr;
    const char* input = "Crypt.txt";
    const char* output = "Decrypt.txt";
    std::string message = {}; // its first line, when status is 2
};

TEST(CommandLine, Parses) {
    const parse_case cases[] = {
        {.name = "nothing: the defaults", .args = {}},
        {.name = "-k KEY", .args = {"-k", "abc"}, .key = "abc"},
        {.name = "-kKEY", .args = {"-kabc"}, .key = "abc"},
        {.name = "--key=KEY", .args = {"--key=abc"}, .key = "abc"},
        {.name = "--key KEY", .args = {"--key", "abc"}, .key = "abc"},
        {.name = "an abbreviated long option", .args = {"--ke=abc"}, .key = "abc"},
        {.name = "operands", .args = {"a", "b"}, .input = "a", .output = "b"},
        {.name = "options after operands", .args = {"a", "-k", "x"}, .key = "x", .input = "a"},
        {.name = "-- before a name like an option",
         .args = {"--", "-k"},
         .input = "-k"},
        {.name = "- for the standard streams", .args = {"-", "-"}, .input = "-", .output = "-"},
        {.name = "--help", .args = {"--help"}, .status = 0},
        {.name = "--version", .args = {"--version"}, .status = 0},
        {.name = "extra operand",
         .args = {"a", "b", "c"},
         .status = 2,
         .message = "decipher: extra operand 'c'"},
        {.name = "unknown short option", .args = {"-z"}, .status = 2,
         .message = "decipher: invalid option -- 'z'"},
        {.name = "unknown option in a cluster after a long one",
         .args = {"--key=ABC", "-zq"},
         .status = 2,
         .message = "decipher: invalid option -- 'z'"},
        {.name = "unknown long option", .args = {"--bogus"}, .status = 2,
         .message = "decipher: unrecognized option '--bogus'"},
        {.name = "an argument to an option without one",
         .args = {"--help=1"},
         .status = 2,
         .message = "decipher: unrecognized option '--help=1'"},
        {.name = "-k with nothing after it", .args = {"-k"}, .status = 2,
         .message = "decipher: option requires an argument -- 'k'"},
        {.name = "--key with nothing after it", .args = {"--key"}, .status = 2,
         .message = "decipher: option '--key' requires an argument"},
        {.name = "-k in a cluster with nothing after it",
         .args = {"-zk"},
         .status = 2,
         .message = "decipher: invalid option -- 'z'"},
        {.name = "crack takes no key", .args = {"-k", "x"}, .tool = &keyless, .status = 2,
         .message = "crack: invalid option -- 'k'"},
        {.name = "crack takes no --key", .args = {"--key=x"}, .tool = &keyless, .status = 2,
         .message = "crack: unrecognized option '--key=x'"},
    };
    for (const parse_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> storage = {c.tool->program};
        storage.insert(storage.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& s : storage)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        const run_request r =
            parse_command_line(*c.tool, static_cast<int>(storage.size()), argv.data());
        EXPECT_EQ(r.status, c.status);
        if (c.status == 2) {
            EXPECT_EQ(r.message.substr(0, r.message.find('\n')), c.message);
            EXPECT_NE(r.message.find("\n" + usage(*c.tool)), std::string::npos) << r.message;
            EXPECT_EQ(r.output, "");
            continue;
        }
        EXPECT_EQ(r.message, "");
        if (c.status == 0) {
            const bool help = std::string(c.args[0]) == "--help";
            EXPECT_EQ(r.output, help ? usage(*c.tool) + c.tool->description
                                     : std::string(c.tool->program) + " " + TOOL_VERSION + "\n");
            continue;
        }
        EXPECT_STREQ(r.key, c.key);
        EXPECT_STREQ(r.input_name, c.input);
        EXPECT_STREQ(r.output_name, c.output);
    }
}

} // namespace
