#include "app/tool.hpp"

#include "app/platform.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace {

int standard_output_error = 0;

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

int handle_arguments(const char* program, int argc, char** argv, const char* usage) {
    if (argc < 2)
        return -1;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return finish_run(program, nullptr, nullptr, nullptr, 0);
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", program, tool_version());
        return finish_run(program, nullptr, nullptr, nullptr, 0);
    }
    const bool known =
        std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0;
    std::fprintf(stderr, "%s: unexpected argument '%s'; usage: %s [--help | --version]\n", program,
                 argv[known ? 2 : 1], program);
    return 2;
}

int read_key_word(std::FILE* console, key_word& key) {
    std::string line;
    if (!(console == stdin && read_console_key(line))) {
        // Room for a key of the longest characters, and a CR that ends a line of a full key.
        constexpr std::size_t longest = 4 * max_key_length + 1;
        int ch = 0;
        while (line.size() < longest && (ch = std::getc(console)) != EOF && ch != '\n')
            line += static_cast<char>(ch);
        if (ch == EOF && std::ferror(console))
            return -1;
        if (ch == '\n' && !line.empty() && line.back() == '\r')
            line.pop_back();
        // The key is a C string: a zero byte typed into the line ends it there.
        line.resize(std::min(line.size(), line.find('\0')));
        line = key_in_windows_1251(line);
    }
    const std::size_t length = std::min(line.size(), key.size() - 1);
    std::copy_n(line.begin(), length, key.begin());
    key[length] = '\0';
    return static_cast<int>(length);
}

std::FILE* open_input(const char* program, const char* name) {
    std::FILE* in = std::fopen(name, "rb");
    if (in == nullptr) {
        report_errno(program, name, open_failure(name, errno));
    } else if (is_directory(in)) {
        report_errno(program, name, EISDIR);
        std::fclose(in);
        in = nullptr;
    }
    return in;
}

int ask_key(const char* program, std::array<std::int32_t, max_key_length>& order) {
    std::fputs("Enter key word: ", stdout);
    flush_standard_output();
    key_word key{};
    const int n = read_key_word(stdin, key);
    if (n < 0) {
        report_errno(program, "standard input", errno);
        return 0;
    }
    order_key_columns(order.data(), n, key.data());
    flush_standard_output();
    if (n == 0)
        report(program, "key word", "empty");
    return n;
}

std::FILE* open_output_apart(const char* program, std::FILE* in, const char* in_name,
                             const char* out_name) {
    std::FILE* out = open_unemptied(out_name);
    if (out == nullptr) {
        report_errno(program, out_name, open_failure(out_name, errno));
        return nullptr;
    }
    if (same_file(in, out)) {
        std::fprintf(stderr, "%s: %s and %s are the same file\n", program, in_name, out_name);
        std::fclose(out);
        return nullptr;
    }
    if (!empty_file(out)) {
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
    case stream_fault::read: report_errno(program, in_name, errno); break;
    case stream_fault::write: report_errno(program, out_name, write_failure(errno)); break;
    }
    return 1;
}

int flush_standard_output() {
    // errno still holds the reason when an earlier flush of the same text failed.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && standard_output_error == 0)
        standard_output_error = errno != 0 ? write_failure(errno) : EIO;
    return standard_output_error;
}

int run_guarded(const char* program, int (*run)(int, char**), int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        discard_unfinished();
        std::fprintf(stderr, "%s: %s\n", program, std::strerror(ENOMEM));
        return 1;
    }
}

int finish_run(const char* program, std::FILE* in, std::FILE* out, const char* out_name,
               int status) {
    if (in != nullptr)
        std::fclose(in);
    // A full disk may only show when the last buffered letters go out.
    if (out != nullptr && std::fclose(out) != 0 && status == 0) {
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
