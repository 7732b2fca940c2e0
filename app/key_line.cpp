#include "app/key_line.hpp"

#include "app/platform.hpp"

#include <algorithm>
#include <cerrno>

bool read_key_line(std::FILE* in, std::string& line, bool& cut) {
    line.clear();
    cut = false;
    int ch = 0;
    while ((ch = std::getc(in)) != EOF && ch != '\n' && ch != '\0') {
        line += static_cast<char>(ch);
        if (line.size() == key_line_bound) {
            cut = true;
            return true;
        }
    }
    if (ch == EOF && std::ferror(in))
        return false;
    if (ch != '\0' && !line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::string key_in_windows_1251(const std::string& line, bool cut) {
    const bool plain_ascii = std::all_of(
        line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (plain_ascii)
        return line;
    charset_conversion conversion = locale_to_windows_1251(line);
    // A cut line is judged without its last few bytes, which may be half a character.
    for (std::size_t dropped = 1; cut && dropped < 4 && dropped < line.size() &&
                                  conversion.outcome == charset_conversion::invalid;
         ++dropped)
        conversion = locale_to_windows_1251(line.substr(0, line.size() - dropped));
    return conversion.outcome == charset_conversion::converted ? conversion.text : line;
}

int cut_key(const std::string& line, key_word& key) {
    const std::size_t length = std::min(line.size(), key.size() - 1);
    std::copy_n(line.begin(), length, key.begin());
    key[length] = '\0';
    return static_cast<int>(length);
}

namespace {

// The typed key line as Windows-1251. False on a read error.
bool read_key_word(std::string& line) {
    switch (read_console_key(line)) {
    case console_read::typed_characters: return true;
    case console_read::failed: return false;
    case console_read::not_console: break;
    }
    bool cut = false;
    if (!read_key_line(stdin, line, cut))
        return false;
    line = key_in_windows_1251(line, cut);
    return true;
}

} // namespace

int get_key(run_context& run, const char* key_argument,
            std::array<std::int32_t, max_key_length>& order) {
    std::string line;
    if (key_argument != nullptr) {
        if (!argument_characters(key_argument, line))
            line = key_in_windows_1251(key_argument, false);
    } else {
        std::fputs("Enter key word: ", run.console());
        run.flush_standard_output();
        if (!read_key_word(line)) {
            run.report_errno("standard input", errno);
            return 0;
        }
    }
    key_word key{};
    const int n = cut_key(line, key);
    fill_column_order(order.data(), n, key.data());
    print_column_order(run.console(), order.data(), n);
    run.flush_standard_output();
    if (n == 0)
        run.report("key word", "empty");
    return n;
}
