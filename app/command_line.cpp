#include "app/command_line.hpp"

#include <getopt.h>

#include <cstring>
#include <iterator>

namespace {

std::string text_of(const char* format, const char* a, const char* b = "") {
    std::string text(std::strlen(format) + std::strlen(a) + std::strlen(b), '\0');
    const int size = std::snprintf(text.data(), text.size() + 1, format, a, b);
    text.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return text;
}

run_request usage_error(const tool_interface& tool, run_request request, const std::string& what) {
    request.status = 2;
    request.message = std::string(tool.program) + ": " + what + "\n" + usage(tool);
    return request;
}

// Whether the element getopt stopped at is the long option whose short form is `short_form`,
// as "--key", "--ke" or "--key=..." are: a cluster such as "-zq" leaves argv[optind - 1] at an
// earlier element, so the element alone does not tell.
bool is_long_form(const char* element, const option* options, int short_form) {
    if (std::strncmp(element, "--", 2) != 0)
        return false;
    const char* name = element + 2;
    const std::size_t length = std::strcspn(name, "=");
    for (const option* o = options; o->name != nullptr; ++o)
        if (o->val == short_form && length > 0 && std::strncmp(o->name, name, length) == 0)
            return true;
    return false;
}

} // namespace

std::string usage(const tool_interface& tool) {
    return std::string("Usage: ") + tool.program + " " +
           (tool.takes_key ? "[-k KEY | --key=KEY] " : "") + tool.operands + "\n       " +
           tool.program + " --help | --version\n";
}

run_request parse_command_line(const tool_interface& tool, int argc, char** argv) {
    run_request request;
    request.input_name = tool.input_name;
    request.output_name = tool.output_name;
    option options[] = {{"help", no_argument, nullptr, 'h'},
                        {"version", no_argument, nullptr, 'V'},
                        {"key", required_argument, nullptr, 'k'},
                        {nullptr, 0, nullptr, 0}};
    if (!tool.takes_key)
        options[2] = options[3];
    // Messages of our own, with the tool's name rather than the path it was started by; 0
    // starts getopt afresh, inside a cluster left half read included.
    opterr = 0;
    optind = 0;
    for (int c = 0;
         (c = getopt_long(argc, argv, tool.takes_key ? ":k:" : ":", options, nullptr)) !=
         -1;) {
        if (c == 'k') {
            request.key = optarg;
            continue;
        }
        if (c == 'h') {
            request.output = usage(tool) + tool.description;
            request.status = 0;
            return request;
        }
        if (c == 'V') {
            request.output = std::string(tool.program) + " " + TOOL_VERSION + "\n";
            request.status = 0;
            return request;
        }
        const char* element = argv[optind - 1];
        if (c == ':' && is_long_form(element, options, optopt))
            return usage_error(tool, request,
                               text_of("option '%s' requires an argument", element));
        if (c == ':') {
            const char shown[] = {static_cast<char>(optopt), '\0'};
            return usage_error(tool, request, text_of("option requires an argument -- '%s'", shown));
        }
        if (optopt == 0 || is_long_form(element, options, optopt))
            return usage_error(tool, request, text_of("unrecognized option '%s'", element));
        const char shown[] = {static_cast<char>(optopt), '\0'};
        return usage_error(tool, request, text_of("invalid option -- '%s'", shown));
    }
    const char** operands[] = {&request.input_name, &request.output_name};
    std::size_t given = 0;
    for (int i = optind; i < argc; ++i, ++given) {
        if (given == std::size(operands))
            return usage_error(tool, request, text_of("extra operand '%s'", argv[i]));
        *operands[given] = argv[i];
    }
    return request;
}

const char* shown_input_name(const char* name) {
    return std::strcmp(name, "-") == 0 ? "standard input" : name;
}

const char* shown_output_name(const char* name) {
    return std::strcmp(name, "-") == 0 ? "standard output" : name;
}
