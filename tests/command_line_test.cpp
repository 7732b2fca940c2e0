// The command line read in-process: argv in; key, operands, status and message out.
#include "app/command_line.hpp"
#include "app/language_names.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr tool_interface keyed = {.program = "decipher",
                                  .takes_key = true,
                                  .operands = "[CRYPT [DECRYPT]]",
                                  .description = "help text\n",
                                  .input_name = "Crypt.txt",
                                  .output_name = "Decrypt.txt"};
constexpr tool_interface keyless = {.program = "crack",
                                    .takes_search = true,
                                    .operands = "[CRYPT [DECRYPT]]",
                                    .description = "help text\n",
                                    .input_name = "Crypt.txt",
                                    .output_name = "Decrypt.txt"};

struct parse_case {
    const char* name;
    std::vector<const char*> args; // after the program's name
    const tool_interface* tool = &keyed;
    std::optional<int> status = {};
    const char* key = nullptr;
    const char* input = "Crypt.txt";
    const char* output = "Decrypt.txt";
    std::string message = {}; // its first line, when status is 2
    bool quiet = false;
    output_encoding encoding = output_encoding::as_input;
    std::vector<std::string> cribs = {};
    int shortest = 1;
    int longest = 9;
    int top = 0;
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
        {.name = "-- before a name like an option", .args = {"--", "-k"}, .input = "-k"},
        {.name = "- for the standard streams", .args = {"-", "-"}, .input = "-", .output = "-"},
        {.name = "--help", .args = {"--help"}, .status = 0},
        {.name = "--version", .args = {"--version"}, .status = 0},
        {.name = "extra operand",
         .args = {"a", "b", "c"},
         .status = 2,
         .message = "decipher: extra operand 'c'"},
        {.name = "unknown short option",
         .args = {"-z"},
         .status = 2,
         .message = "decipher: invalid option -- 'z'"},
        {.name = "unknown option in a cluster after a long one",
         .args = {"--key=ABC", "-zq"},
         .status = 2,
         .message = "decipher: invalid option -- 'z'"},
        {.name = "unknown long option",
         .args = {"--bogus"},
         .status = 2,
         .message = "decipher: unrecognized option '--bogus'"},
        {.name = "an argument to an option without one",
         .args = {"--help=1"},
         .status = 2,
         .message = "decipher: option '--help' doesn't allow an argument"},
        {.name = "-k with nothing after it",
         .args = {"-k"},
         .status = 2,
         .message = "decipher: option requires an argument -- 'k'"},
        {.name = "an empty --key=",
         .args = {"--key="},
         .status = 2,
         .message = "decipher: key word: empty"},
        {.name = "--key with nothing after it",
         .args = {"--key"},
         .status = 2,
         .message = "decipher: option '--key' requires an argument"},
        {.name = "-k in a cluster with nothing after it",
         .args = {"-zk"},
         .status = 2,
         .message = "decipher: invalid option -- 'z'"},
        {.name = "-q and -e in a cluster",
         .args = {"-qe", "UTF-8"},
         .quiet = true,
         .encoding = output_encoding::utf8},
        {.name = "--encoding=windows-1251",
         .args = {"--encoding=cp1251"},
         .encoding = output_encoding::windows_1251},
        {.name = "an unknown encoding",
         .args = {"-e", "iso-8859-5"},
         .status = 2,
         .message = "decipher: unknown encoding 'iso-8859-5'; use utf-8, windows-1251, cp866 or "
                    "koi8-r"},
        {.name = "cribs, a length range and a count",
         .args = {"--crib", "a", "--crib=b", "--length=3-5", "--top", "7"},
         .tool = &keyless,
         .cribs = {"a", "b"},
         .shortest = 3,
         .longest = 5,
         .top = 7},
        {.name = "one key length",
         .args = {"--length", "4"},
         .tool = &keyless,
         .shortest = 4,
         .longest = 4},
        {.name = "a length out of range",
         .args = {"--length=0-3"},
         .tool = &keyless,
         .status = 2,
         .message = "crack: invalid key length '0-3'; give N or N-M, from 1 to 9"},
        {.name = "a range the wrong way round",
         .args = {"--length=5-3"},
         .tool = &keyless,
         .status = 2,
         .message = "crack: invalid key length '5-3'; give N or N-M, from 1 to 9"},
        {.name = "a count that is no number",
         .args = {"--top=x"},
         .tool = &keyless,
         .status = 2,
         .message = "crack: invalid candidate count 'x'; give 1 to 100"},
        {.name = "--crib with nothing after it",
         .args = {"--crib"},
         .tool = &keyless,
         .status = 2,
         .message = "crack: option '--crib' requires an argument"},
        {.name = "decipher takes no crib",
         .args = {"--crib=x"},
         .status = 2,
         .message = "decipher: unrecognized option '--crib=x'"},
        {.name = "crack takes no key",
         .args = {"-k", "x"},
         .tool = &keyless,
         .status = 2,
         .message = "crack: invalid option -- 'k'"},
        {.name = "crack takes no --key",
         .args = {"--key=x"},
         .tool = &keyless,
         .status = 2,
         .message = "crack: unrecognized option '--key=x'"},
    };
    for (const parse_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> storage = {c.tool->program};
        storage.insert(storage.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        argv.reserve(storage.size() + 1);
        for (std::string& s : storage)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        const run_request r =
            parse_command_line(*c.tool, static_cast<int>(storage.size()), argv.data());
        EXPECT_EQ(r.status, c.status);
        if (c.status == 2) {
            EXPECT_EQ(r.message, c.message + '\n' + usage(*c.tool));
            EXPECT_EQ(r.output, "");
            continue;
        }
        EXPECT_EQ(r.message, "");
        if (c.status == 0) {
            const bool help = std::string(c.args[0]) == "--help";
            EXPECT_EQ(r.output,
                      help ? "Usage: decipher [-q] [-e ENCODING] [--table] [-k KEY | --key=KEY] "
                             "[CRYPT [DECRYPT]]\n"
                             "       decipher --help | --version\n"
                             "help text\n"
                           : std::string(c.tool->program) + " " + TOOL_VERSION + "\n");
            continue;
        }
        EXPECT_STREQ(r.key, c.key);
        EXPECT_STREQ(r.input_name, c.input);
        EXPECT_STREQ(r.output_name, c.output);
        EXPECT_EQ(r.quiet, c.quiet);
        EXPECT_EQ(r.encoding, c.encoding);
        EXPECT_EQ(std::vector<std::string>(r.cribs.begin(), r.cribs.end()), c.cribs);
        EXPECT_EQ(r.shortest, c.shortest);
        EXPECT_EQ(r.longest, c.longest);
        EXPECT_EQ(r.top, c.top);
    }
}

} // namespace

namespace {

// On Windows the arguments are made anew from the system's own copy: a second call must hand
// out the same ones, and leave the first call's pointers good.
TEST(CommandLine, ArgumentsAreMadeOnce) {
    std::string program = "tool_tests";
    char* given[] = {program.data(), nullptr};
    const int argc = ::testing::internal::GetArgvs().empty()
                         ? 1
                         : static_cast<int>(::testing::internal::GetArgvs().size());
    char** first = command_line_arguments(argc, given);
    const std::string first_name = first[0];
    char** second = command_line_arguments(argc, given);
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::string(first[0]), first_name);
}

} // namespace

namespace {

TEST(Messages, InBothLanguages) {
    struct message_case {
        const char* one;
        const char* many; // nullptr: no count
        std::size_t n;
        std::string english;
        std::string russian;
    };
    const char* letters = "%zu letter is too few to be sure; a word you expect in the text "
                          "(--crib) or the key length (--length) narrows the search";
    const char* many_letters = "%zu letters are too few to be sure; a word you expect in the "
                               "text (--crib) or the key length (--length) narrows the search";
    const char* bytes = "%zu byte is not UTF-8; skipped";
    const char* many_bytes = "%zu bytes are not UTF-8; skipped";
    const message_case cases[] = {
        {"no letters", nullptr, 0, "no letters", "нет букв"},
        {"crib \"%s\"", nullptr, 0, "crib \"%s\"", "известное слово «%s»"},
        {"Enter key word: ", nullptr, 0, "Enter key word: ", "Enter key word: "},
        {"INDEX SORT COMPLEATE: ", nullptr, 0, "INDEX SORT COMPLEATE: ", "INDEX SORT COMPLEATE: "},
        {"No file :(", nullptr, 0, "No file :(", "No file :("},
        {letters, many_letters, 1, "1 letter is too few", "1 буква — слишком"},
        {letters, many_letters, 2, "2 letters are too few", "2 буквы — слишком"},
        {letters, many_letters, 5, "5 letters are too few", "5 букв — слишком"},
        {letters, many_letters, 11, "11 letters are too few", "11 букв — слишком"},
        {letters, many_letters, 21, "21 letters are too few", "21 буква — слишком"},
        {letters, many_letters, 22, "22 letters are too few", "22 буквы — слишком"},
        {letters, many_letters, 112, "112 letters are too few", "112 букв — слишком"},
        {bytes, many_bytes, 1, "1 byte is not UTF-8; skipped",
         "1 байт не читается как UTF-8 и пропущен"},
        {bytes, many_bytes, 3, "3 bytes are not UTF-8; skipped",
         "3 байта не читаются как UTF-8 и пропущены"},
        {bytes, many_bytes, 5, "5 bytes are not UTF-8; skipped",
         "5 байт не читаются как UTF-8 и пропущены"},
    };
    for (const message_case& c : cases) {
        SCOPED_TRACE(c.one);
        for (const auto language : {message_language::english, message_language::russian}) {
            const char* text = c.many == nullptr ? translation(language, c.one)
                                                 : plural_translation(language, c.n, c.one, c.many);
            const std::string shown = c.many == nullptr ? text : message_format(text, c.n);
            const std::string& expected =
                language == message_language::english ? c.english : c.russian;
            EXPECT_EQ(shown.substr(0, expected.size()), expected);
        }
    }
}

// LANGUAGE as gettext reads it: the first language the tools speak decides.
TEST(Messages, LanguageList) {
    EXPECT_EQ(language_of_list("de:ru_RU:en"), message_language::russian);
    EXPECT_EQ(language_of_list("en_GB:ru"), message_language::english);
    EXPECT_EQ(language_of_list("rus:de"), std::nullopt);
    EXPECT_EQ(language_of_locale("ru_UA.KOI8-U"), message_language::russian);
}

} // namespace
