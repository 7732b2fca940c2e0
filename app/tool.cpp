#include "app/tool.hpp"

#include "app/platform.hpp"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

namespace {

int standard_output_error = 0;
std::FILE* console_stream = stdout;

} // namespace

void report(const char* program, const char* what, const char* reason) {
    std::fprintf(stderr, "%s: %s: %s\n", program, what, reason);
}

void report_errno(const char* program, const char* what, int error) {
    report(program, what, std::strerror(error));
}

const char* tool_version() {
    return TOOL_VERSION;
}

namespace {

void print_usage(const tool_interface& tool, std::FILE* stream) {
    std::fprintf(stream, "Usage: %s %s%s\n       %s --help | --version\n", tool.program,
                 tool.takes_key ? "[-k KEY | --key=KEY] " : "", tool.operands, tool.program);
}

int usage_error(const tool_interface& tool) {
    print_usage(tool, stderr);
    return 2;
}

} // namespace

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
    // Messages of our own, with the tool's name rather than the path it was started by.
    opterr = 0;
    optind = 1;
    for (int c = 0;
         (c = getopt_long(argc, argv, tool.takes_key ? ":k:" : ":", options, nullptr)) != -1;) {
        if (c == 'k') {
            request.key = optarg;
            continue;
        }
        if (c == 'h' || c == 'V') {
            if (c == 'h') {
                print_usage(tool, stdout);
                std::fputs(tool.description, stdout);
            } else {
                std::printf("%s %s\n", tool.program, tool_version());
            }
            request.status = finish_run(tool.program, nullptr, nullptr, nullptr, 0);
            return request;
        }
        const char* arg = argv[optind - 1];
        const bool long_option = std::strncmp(arg, "--", 2) == 0;
        if (c == ':' && long_option)
            std::fprintf(stderr, "%s: option '%s' requires an argument\n", tool.program, arg);
        else if (c == ':')
            std::fprintf(stderr, "%s: option requires an argument -- '%c'\n", tool.program, optopt);
        else if (long_option)
            std::fprintf(stderr, "%s: unrecognized option '%s'\n", tool.program, arg);
        else
            std::fprintf(stderr, "%s: invalid option -- '%c'\n", tool.program, optopt);
        request.status = usage_error(tool);
        return request;
    }
    const char** operands[] = {&request.input_name, &request.output_name};
    std::size_t given = 0;
    for (int i = optind; i < argc; ++i, ++given) {
        if (given == std::size(operands)) {
            std::fprintf(stderr, "%s: extra operand '%s'\n", tool.program, argv[i]);
            request.status = usage_error(tool);
            return request;
        }
        *operands[given] = argv[i];
    }
    if (tool.takes_key && request.key == nullptr && std::strcmp(request.input_name, "-") == 0) {
        std::fprintf(stderr,
                     "%s: the text comes from standard input, so the key must come with -k\n",
                     tool.program);
        request.status = usage_error(tool);
    }
    return request;
}

const char* shown_input_name(const char* name) {
    return std::strcmp(name, "-") == 0 ? "standard input" : name;
}

const char* shown_output_name(const char* name) {
    return std::strcmp(name, "-") == 0 ? "standard output" : name;
}

namespace {

// The key is the first max_key_length characters of the line, once in Windows-1251.
int cut_key(const std::string& line, key_word& key) {
    const std::size_t length = std::min(line.size(), key.size() - 1);
    std::copy_n(line.begin(), length, key.begin());
    key[length] = '\0';
    return static_cast<int>(length);
}

} // namespace

int read_key_word(std::FILE* console, key_word& key) {
    std::string line;
    if (!(console == stdin && read_console_key(line))) {
        // The whole line: whether it is text in the locale's character set depends on all of
        // it, as it does for a key given with -k.
        int ch = 0;
        while ((ch = std::getc(console)) != EOF && ch != '\n')
            line += static_cast<char>(ch);
        if (ch == EOF && std::ferror(console))
            return -1;
        if (ch == '\n' && !line.empty() && line.back() == '\r')
            line.pop_back();
        // The key is a C string: a zero byte typed into the line ends it there.
        line.resize(std::min(line.size(), line.find('\0')));
        line = key_in_windows_1251(line);
    }
    return cut_key(line, key);
}

std::FILE* console() {
    return console_stream;
}

void set_console_for(const char* output_name) {
    console_stream = std::strcmp(output_name, "-") == 0 ? stderr : stdout;
}

std::FILE* open_named_input(const char* name) {
    return std::strcmp(name, "-") == 0 ? stdin : open_file(name, "rb");
}

std::FILE* open_input(const char* program, const char* name) {
    std::FILE* in = open_named_input(name);
    if (in == nullptr) {
        report_errno(program, name, open_failure(name, errno));
    } else if (is_directory(in)) {
        report_errno(program, shown_input_name(name), EISDIR);
        close_input(in);
        in = nullptr;
    }
    return in;
}

bool refuse_text(const char* program, const char* name, letter_reader& reader) {
    read_byte_order_mark(reader);
    // Reported here, while errno still holds the reason: the key's conversion comes next.
    if (reader_failed(reader)) {
        report_errno(program, shown_input_name(name), errno);
        return true;
    }
    if (reader.encoding != text_encoding::utf16)
        return false;
    report(program, shown_input_name(name), "UTF-16 text; save it as UTF-8 or Windows-1251");
    return true;
}

void close_input(std::FILE* in) {
    if (in != nullptr && in != stdin)
        std::fclose(in);
}

int get_key(const char* program, const char* key_argument,
            std::array<std::int32_t, max_key_length>& order) {
    key_word key{};
    int n = 0;
    if (key_argument != nullptr) {
        n = cut_key(key_from_argument(key_argument), key);
    } else {
        std::fputs("Enter key word: ", console());
        flush_standard_output();
        n = read_key_word(stdin, key);
        if (n < 0) {
            report_errno(program, "standard input", errno);
            return 0;
        }
    }
    fill_column_order(order.data(), n, key.data());
    print_column_order(console(), order.data(), n);
    flush_standard_output();
    if (n == 0)
        report(program, "key word", "empty");
    return n;
}

std::FILE* open_output_apart(const char* program, std::FILE* in, const char* in_name,
                             const char* out_name) {
    const bool to_standard_output = std::strcmp(out_name, "-") == 0;
    std::FILE* out = to_standard_output ? stdout : open_unemptied(out_name);
    if (out == nullptr) {
        report_errno(program, out_name, open_failure(out_name, errno));
        return nullptr;
    }
    if (same_file(in, out)) {
        std::fprintf(stderr, "%s: %s and %s are the same file\n", program,
                     shown_input_name(in_name), shown_output_name(out_name));
        if (!to_standard_output)
            std::fclose(out);
        return nullptr;
    }
    if (!to_standard_output && !empty_file(out)) {
        report_errno(program, out_name, errno);
        std::fclose(out);
        return nullptr;
    }
    return out;
}

int stream_status(const char* program, stream_fault fault, const char* in_name,
                  const char* out_name) {
    switch (fault) {
    case stream_fault::none: return 0;
    case stream_fault::read: report_errno(program, shown_input_name(in_name), errno); break;
    case stream_fault::write:
        report_errno(program, shown_output_name(out_name), write_failure(errno));
        break;
    }
    return 1;
}

int flush_standard_output() {
    // errno still holds the reason when an earlier flush of the same text failed.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && standard_output_error == 0)
        standard_output_error = errno != 0 ? write_failure(errno) : EIO;
    return standard_output_error;
}

int run_guarded(const tool_interface& tool, int (*run)(const run_request&), int argc, char** argv) {
    try {
        guard_standard_streams();
        const run_request request =
            parse_command_line(tool, argc, command_line_arguments(argc, argv));
        if (request.status >= 0)
            return request.status;
        set_console_for(request.output_name);
        return run(request);
    } catch (const std::bad_alloc&) {
        discard_unfinished();
        std::fprintf(stderr, "%s: %s\n", tool.program, std::strerror(ENOMEM));
        return 1;
    }
}

int finish_run(const char* program, std::FILE* in, std::FILE* out, const char* out_name,
               int status) {
    close_input(in);
    // A full disk may only show when the last buffered letters go out. Standard output's own
    // faults are reported below.
    if (out != nullptr && out != stdout && std::fclose(out) != 0 && status == 0) {
        report_errno(program, out_name, write_failure(errno));
        status = 1;
    }
    flush_standard_output();
    if (standard_output_error != 0 && status == 0) {
        report_errno(program, "standard output", standard_output_error);
        status = 1;
    }
    return status;
}
