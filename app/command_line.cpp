#include "app/command_line.hpp"

#include "app/message_format.hpp"
#include "app/messages.hpp"

#include <getopt.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

run_request usage_error(const tool_interface& tool, run_request request, const std::string& what) {
    request.status = 2;
    request.message = std::string(tool.program) + ": " + what + "\n" + usage(tool);
    return request;
}

// The long option the element getopt stopped at is, when it is the one whose short form is
// `short_form`, as "--key", "--ke" or "--key=..." are: a cluster such as "-zq" leaves
// argv[optind - 1] at an earlier element, so the element alone does not tell.
const option* long_form(const char* element, const option* options, int short_form) {
    if (std::strncmp(element, "--", 2) != 0)
        return nullptr;
    const char* name = element + 2;
    const std::size_t length = std::strcspn(name, "=");
    for (const option* o = options; o->name != nullptr; ++o)
        if (o->val == short_form && length > 0 && std::strncmp(o->name, name, length) == 0)
            return o;
    return nullptr;
}

} // namespace

std::string usage(const tool_interface& tool) {
    std::string options = tool.takes_verbose ? "[-q] [-v] " : "[-q] ";
    options += tr("[-e ENCODING]");
    if (tool.takes_key)
        options.append(" ").append(tr("[-k KEY | --key=KEY]"));
    if (tool.takes_search)
        options.append(" ").append(tr("[--crib WORD]... [--length N[-M]] [--top N]"));
    options.append(" ").append(tr(tool.operands));
    // TRANSLATORS: the second line's program name lines up under the first's.
    return message_format(tr("Usage: %s %s\n       %s --help | --version\n"), tool.program,
                          options.c_str(), tool.program);
}

namespace {

bool equal_ignoring_case(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

bool read_encoding(const char* text, output_encoding& encoding) {
    for (const char* name : {"utf-8", "utf8"})
        if (equal_ignoring_case(text, name)) {
            encoding = output_encoding::utf8;
            return true;
        }
    for (const char* name : {"windows-1251", "cp1251", "windows1251"})
        if (equal_ignoring_case(text, name)) {
            encoding = output_encoding::windows_1251;
            return true;
        }
    return false;
}

// A whole number from first to last, written as digits alone.
bool read_number(const char* text, int first, int last, int& value) {
    if (*text == '\0' || std::strlen(text) > 4 ||
        std::strspn(text, "0123456789") != std::strlen(text))
        return false;
    value = std::atoi(text);
    return value >= first && value <= last;
}

// N or N-M, 1 to 9.
bool read_lengths(const char* text, int& shortest, int& longest) {
    const std::string s(text);
    const std::size_t dash = s.find('-');
    if (dash == std::string::npos)
        return read_number(text, 1, 9, shortest) && read_number(text, 1, 9, longest);
    return read_number(s.substr(0, dash).c_str(), 1, 9, shortest) &&
           read_number(s.substr(dash + 1).c_str(), 1, 9, longest) && shortest <= longest;
}

} // namespace

run_request parse_command_line(const tool_interface& tool, int argc, char** argv) {
    run_request request;
    request.input_name = tool.input_name;
    request.output_name = tool.output_name;
    // Long options without a short form.
    constexpr int crib = 256;
    constexpr int length = 257;
    constexpr int top = 258;
    // Fixed storage: a run that starts short of memory reaches its first file before anything
    // is allocated, and is told so there.
    std::array<option, 9> options{};
    std::size_t count = 0;
    const auto add = [&](const char* name, int has_arg, int val) {
        options[count++] = {name, has_arg, nullptr, val};
    };
    add("help", no_argument, 'h');
    add("version", no_argument, 'V');
    add("quiet", no_argument, 'q');
    add("encoding", required_argument, 'e');
    if (tool.takes_key)
        add("key", required_argument, 'k');
    if (tool.takes_verbose)
        add("verbose", no_argument, 'v');
    if (tool.takes_search) {
        add("crib", required_argument, crib);
        add("length", required_argument, length);
        add("top", required_argument, top);
    }
    const char* short_options =
        tool.takes_key ? (tool.takes_verbose ? ":qe:k:v" : ":qe:k:") : ":qe:";
    // Messages of our own, with the tool's name rather than the path it was started by; 0
    // starts getopt afresh, inside a cluster left half read included.
    opterr = 0;
    optind = 0;
    for (int c = 0; (c = getopt_long(argc, argv, short_options, options.data(), nullptr)) != -1;) {
        switch (c) {
        case 'k': request.key = optarg; continue;
        case 'q': request.quiet = true; continue;
        case 'v': request.verbose = true; continue;
        case crib: request.cribs.push_back(optarg); continue;
        case 'e':
            if (!read_encoding(optarg, request.encoding))
                return usage_error(
                    tool, request,
                    message_format(tr("unknown encoding '%s'; use utf-8 or windows-1251"), optarg));
            continue;
        case length:
            if (!read_lengths(optarg, request.shortest, request.longest))
                return usage_error(
                    tool, request,
                    message_format(tr("invalid key length '%s'; give N or N-M, from 1 to 9"),
                                   optarg));
            continue;
        case top:
            if (!read_number(optarg, 1, 100, request.top))
                return usage_error(
                    tool, request,
                    message_format(tr("invalid candidate count '%s'; give 1 to 100"), optarg));
            continue;
        default: break;
        }
        if (c == 'h') {
            request.output = usage(tool) + tr(tool.description);
            request.status = 0;
            return request;
        }
        if (c == 'V') {
            request.output = std::string(tool.program) + " " + TOOL_VERSION + "\n";
            request.status = 0;
            return request;
        }
        const char* element = argv[optind - 1];
        const option* as_long = long_form(element, options.data(), optopt);
        // Told apart here, as getopt implementations differ on what they return for it.
        if (as_long != nullptr && as_long->has_arg == no_argument &&
            std::strchr(element, '=') != nullptr)
            return usage_error(
                tool, request,
                message_format(tr("option '--%s' doesn't allow an argument"), as_long->name));
        if (c == ':' && as_long != nullptr)
            return usage_error(tool, request,
                               message_format(tr("option '%s' requires an argument"), element));
        if (c == ':') {
            const char shown[] = {static_cast<char>(optopt), '\0'};
            return usage_error(tool, request,
                               message_format(tr("option requires an argument -- '%s'"), shown));
        }
        if (optopt == 0 || as_long != nullptr)
            return usage_error(tool, request,
                               message_format(tr("unrecognized option '%s'"), element));
        const char shown[] = {static_cast<char>(optopt), '\0'};
        return usage_error(tool, request, message_format(tr("invalid option -- '%s'"), shown));
    }
    const char** operands[] = {&request.input_name, &request.output_name};
    std::size_t given = 0;
    for (int i = optind; i < argc; ++i, ++given) {
        if (given == std::size(operands))
            return usage_error(tool, request, message_format(tr("extra operand '%s'"), argv[i]));
        *operands[given] = argv[i];
    }
    return request;
}

const char* shown_input_name(const char* name) {
    return std::strcmp(name, "-") == 0 ? tr("standard input") : name;
}

const char* shown_output_name(const char* name) {
    return std::strcmp(name, "-") == 0 ? tr("standard output") : name;
}
