#include "app/key_line.hpp"

#include "app/fixed_text.hpp"
#include "app/key_charset.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

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

int cut_key(const std::string& line, key_word& key) {
    const std::size_t length = std::min(line.size(), key.size() - 1);
    std::copy_n(line.begin(), length, key.begin());
    key[length] = '\0';
    return static_cast<int>(length);
}

namespace {

// False after reporting, under `what`, the character with no Windows-1251 form, if any.
bool has_form(run_context& run, const char* what, const std::string& no_form) {
    if (no_form.empty())
        return true;
    run.report(what,
               message_format(tr("\"%s\" has no Windows-1251 form"), no_form.c_str()).c_str());
    return false;
}

// Characters the system handed over as such (UTF-8): judged whatever the locale.
bool convert_characters(run_context& run, const char* what, const std::string& characters,
                        std::string& text) {
    std::string no_form;
    utf8_to_windows_1251(characters, text, no_form);
    return has_form(run, what, no_form);
}

// The Windows-1251 key from a line in the locale's character set, the refusal or the note on
// the way reported. False when refused.
bool convert_key(run_context& run, const char* what, const std::string& line, bool cut,
                 std::string& key) {
    const key_text converted = key_in_windows_1251(line, cut, run.c_locale());
    if (!has_form(run, what, converted.no_form))
        return false;
    if (converted.read_as_utf8)
        run.say(std::strcmp(what, tr("crib")) == 0
                    ? tr("the locale is C; the crib was read as UTF-8")
                    : tr("the locale is C; the key was read as UTF-8"));
    key = converted.text;
    return true;
}

// The typed key line as Windows-1251. False after reporting a read error or a refused key.
bool read_key_word(run_context& run, std::string& key) {
    std::string line;
    bool cut = false;
    switch (read_console_key(line)) {
    case console_read::typed_characters: return convert_characters(run, tr("key"), line, key);
    case console_read::failed: run.report_errno(tr("standard input"), errno); return false;
    case console_read::not_console: break;
    }
    if (!read_key_line(stdin, line, cut)) {
        run.report_errno(tr("standard input"), errno);
        return false;
    }
    return convert_key(run, tr("key"), line, cut, key);
}

} // namespace

bool take_argument_text(run_context& run, const char* what, const char* argument,
                        std::string& text) {
    // A script saved with CR LF leaves its CR here, as a typed line ends with one.
    std::string given = argument;
    if (!given.empty() && given.back() == '\r')
        given.pop_back();
    std::string characters;
    if (argument_characters(given.c_str(), characters))
        return convert_characters(run, what, characters, text);
    return convert_key(run, what, given, false, text);
}

int get_key(run_context& run, const run_request& request,
            std::array<std::int32_t, max_key_length>& order, std::string* used) {
    std::string line = request.key_windows_1251;
    if (request.key == nullptr) {
        if (!request.quiet)
            std::fputs("Enter key word: ", run.console());
        run.flush_standard_output();
        if (!read_key_word(run, line))
            return 0;
    }
    key_word key{};
    const int n = cut_key(line, key);
    if (line.size() > key.size() - 1) {
        const std::string cut =
            message_format(tr("the key is cut to its first %d characters: "), max_key_length);
        run.say(cut.c_str(), reinterpret_cast<const std::uint8_t*>(key.data()), key.size() - 1);
    }
    fill_column_order(order.data(), n, key.data());
    if (used != nullptr)
        used->assign(key.data(), static_cast<std::size_t>(n));
    if (!request.quiet)
        print_column_order(run.console(), order.data(), n);
    run.flush_standard_output();
    if (n == 0)
        run.report(tr("key word"), tr("empty"));
    return n;
}
