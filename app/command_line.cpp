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

// The long options that element, as "--ver" or "--ver=x", abbreviates, as getopt_long lists
// them when it cannot choose: empty unless there are two or more and none is named in full.
std::string ambiguous_candidates(const char* element, const option* options) {
    if (std::strncmp(element, "--", 2) != 0)
        return {};
    const char* name = element + 2;
    const std::size_t length = std::strcspn(name, "=");
    std::string candidates;
    int count = 0;
    for (const option* o = options; o->name != nullptr; ++o) {
        if (std::strncmp(o->name, name, length) != 0)
            continue;
        if (std::strlen(o->name) == length)
            return {};
        candidates += std::string(" '--") + o->name + "'";
        ++count;
    }
    return count > 1 ? candidates : std::string();
}

// An empty key, or one that is only the CR a script saved with CR LF leaves, which the key
// loses as a typed line loses it.
bool empty_key(const char* key) {
    return key[0] == '\0' || (key[0] == '\r' && key[1] == '\0');
}

} // namespace

std::string usage(const tool_interface& tool) {
    std::string options = tool.takes_verbose ? "[-q] [-v] " : "[-q] ";
    options += tr("[-e ENCODING]");
    options += " [--table]";
    if (tool.takes_words)
        options += " [--words]";
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
    struct alias {
        const char* name;
        output_encoding encoding;
    };
    static constexpr alias aliases[] = {{"utf-8", output_encoding::utf8},
                                        {"utf8", output_encoding::utf8},
                                        {"windows-1251", output_encoding::windows_1251},
                                        {"cp1251", output_encoding::windows_1251},
                                        {"windows1251", output_encoding::windows_1251},
                                        {"cp866", output_encoding::cp866},
                                        {"ibm866", output_encoding::cp866},
                                        {"866", output_encoding::cp866},
                                        {"koi8-r", output_encoding::koi8_r},
                                        {"koi8r", output_encoding::koi8_r},
                                        {"koi8", output_encoding::koi8_r}};
    for (const alias& a : aliases)
        if (equal_ignoring_case(text, a.name)) {
            encoding = a.encoding;
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

// N or N-M, 1 to max_key_length.
bool read_lengths(const char* text, int& shortest, int& longest) {
    const std::string s(text);
    const std::size_t dash = s.find('-');
    if (dash == std::string::npos)
        return read_number(text, 1, max_key_length, shortest) &&
               read_number(text, 1, max_key_length, longest);
    return read_number(s.substr(0, dash).c_str(), 1, max_key_length, shortest) &&
           read_number(s.substr(dash + 1).c_str(), 1, max_key_length, longest) &&
           shortest <= longest;
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
    constexpr int table = 259;
    constexpr int words = 260;
    constexpr int from = 261;
    // Fixed storage: a run that starts short of memory reaches its first file before anything
    // is allocated, and is told so there.
    std::array<option, 14> options{};
    std::size_t count = 0;
    const auto add = [&](const char* name, int has_arg, int val) {
        options[count++] = {name, has_arg, nullptr, val};
    };
    add("help", no_argument, 'h');
    add("version", no_argument, 'V');
    add("quiet", no_argument, 'q');
    add("encoding", required_argument, 'e');
    add("table", no_argument, table);
    add("from", required_argument, from);
    if (tool.takes_key)
        add("key", required_argument, 'k');
    if (tool.takes_verbose)
        add("verbose", no_argument, 'v');
    if (tool.takes_search) {
        add("crib", required_argument, crib);
        add("length", required_argument, length);
        add("top", required_argument, top);
    }
    if (tool.takes_words)
        add("words", no_argument, words);
    const char* short_options =
        tool.takes_key ? (tool.takes_verbose ? ":qe:k:v" : ":qe:k:") : ":qe:";
    // Messages of our own, with the tool's name rather than the path it was started by; 0
    // starts getopt afresh, inside a cluster left half read included.
    opterr = 0;
    optind = 0;
    for (int c = 0; (c = getopt_long(argc, argv, short_options, options.data(), nullptr)) != -1;) {
        switch (c) {
        case 'k':
            // Known before any file is touched, as the other faults of -k are.
            if (empty_key(optarg))
                return usage_error(tool, request, std::string(tr("key word")) + ": " + tr("empty"));
            request.key = optarg;
            continue;
        case 'q': request.quiet = true; continue;
        case 'v': request.verbose = true; continue;
        case crib: request.cribs.push_back(optarg); continue;
        case table: request.table = true; continue;
        case words: request.words = true; continue;
        case 'e':
        case from:
            if (!read_encoding(optarg, c == 'e' ? request.encoding : request.from))
                return usage_error(
                    tool, request,
                    message_format(
                        tr("unknown encoding '%s'; use utf-8, windows-1251, cp866 or koi8-r"),
                        optarg));
            continue;
        case length:
            if (!read_lengths(optarg, request.shortest, request.longest))
                return usage_error(
                    tool, request,
                    message_format(tr("invalid key length '%s'; give N or N-M, from 1 to %d"),
                                   optarg, max_key_length));
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
        if (const std::string candidates = ambiguous_candidates(element, options.data());
            !candidates.empty())
            return usage_error(
                tool, request,
                message_format(tr("option '%s' is ambiguous; possibilities:"), element) +
                    candidates);
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
