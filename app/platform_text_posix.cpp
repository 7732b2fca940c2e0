#include "app/platform.hpp"

#include "app/language_names.hpp"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

char** command_line_arguments(int, char** argv) {
    return argv;
}

namespace {

// text from one character set to another, whole. False when a character does not convert, or
// the sets cannot be converted at all.
bool convert_text(const char* to_set, const char* from_set, const std::string& text,
                  std::string& out) {
    const iconv_t convert = iconv_open(to_set, from_set);
    if (convert == reinterpret_cast<iconv_t>(-1)) // NOLINT(performance-no-int-to-ptr)
        return false;
    std::string in = text;
    // Up to four bytes a character either way, and a shift sequence's few more.
    out.assign(text.size() * 4 + 8, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    const bool whole =
        iconv(convert, &from, &in_left, &to, &out_left) != static_cast<std::size_t>(-1) &&
        in_left == 0;
    iconv_close(convert);
    out.resize(out.size() - out_left);
    return whole;
}

} // namespace

bool locale_text_to_utf8(const std::string& text, std::string& utf8) {
    return convert_text("UTF-8", nl_langinfo(CODESET), text, utf8);
}

bool utf8_to_locale_text(const std::string& utf8, std::string& text) {
    return convert_text(nl_langinfo(CODESET), "UTF-8", utf8, text);
}

bool argument_characters(const char*, std::string&) {
    return false; // an argument here is bytes in the locale's character set
}

console_read read_console_key(std::string&) {
    return console_read::not_console; // a terminal here sends bytes in the locale's set
}

void write_windows_1251(std::FILE* stream, const std::uint8_t* text, std::size_t size) {
    // The C locale's ASCII shows no letter, and its key is read as UTF-8: shown so too.
    const char* set = nl_langinfo(CODESET);
    const bool ascii = std::strcmp(set, "ANSI_X3.4-1968") == 0 || std::strcmp(set, "ASCII") == 0;
    const iconv_t convert = iconv_open(ascii ? "UTF-8" : set, "WINDOWS-1251");
    // iconv_open's failure value, as iconv.h defines it.
    const auto failed = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
    std::string shown;
    for (std::size_t i = 0; i < size; ++i) {
        // One character at a time, so that one the locale lacks costs only itself.
        char in = static_cast<char>(text[i]);
        char out[8];
        char* from = &in;
        char* to = out;
        std::size_t in_left = 1;
        std::size_t out_left = sizeof out;
        if (convert != failed &&
            iconv(convert, &from, &in_left, &to, &out_left) != static_cast<std::size_t>(-1))
            shown.append(out, sizeof out - out_left);
        else
            shown += '?';
    }
    if (convert != failed)
        iconv_close(convert);
    std::fwrite(shown.data(), 1, shown.size(), stream);
}

namespace {

bool write_in_locale(std::FILE* stream, const std::uint8_t* text, std::size_t size) {
    write_windows_1251(stream, text, size);
    return std::ferror(stream) == 0;
}

// UTF-8 text in the locale's character set, a character it lacks '?'; with translit, what has
// a near form there as that form.
std::string in_locale_set(const char* utf8, bool translit) {
    const char* codeset = nl_langinfo(CODESET);
    if (std::strcmp(codeset, "UTF-8") == 0)
        return utf8;
    std::string in(utf8);
    std::string out(in.size() * 4 + 16, '\0'); // more than any character set needs
    const iconv_t convert =
        iconv_open((std::string(codeset) + (translit ? "//TRANSLIT" : "")).c_str(), "UTF-8");
    const auto failed = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
    char* from = in.data();
    char* to = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    while (in_left > 0 && out_left > 0) {
        if (convert != failed &&
            iconv(convert, &from, &in_left, &to, &out_left) != static_cast<std::size_t>(-1))
            break;
        // A character the set lacks is '?', and the rest goes on.
        *to++ = '?';
        --out_left;
        do {
            ++from;
            --in_left;
        } while (in_left > 0 && (static_cast<unsigned char>(*from) & 0xC0) == 0x80);
    }
    if (convert != failed)
        iconv_close(convert);
    out.resize(out.size() - out_left);
    return out;
}

// Whether the locale's character set has Cyrillic letters; nothing allocated.
bool shows_cyrillic() {
    const iconv_t convert = iconv_open(nl_langinfo(CODESET), "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1)) // NOLINT(performance-no-int-to-ptr)
        return false;
    char in[] = "\u0436"; // ж
    char out[8];
    char* from = in;
    char* to = out;
    std::size_t in_left = sizeof in - 1;
    std::size_t out_left = sizeof out;
    const bool shown = iconv(convert, &from, &in_left, &to, &out_left) == 0;
    iconv_close(convert);
    return shown;
}

} // namespace

terminal_text terminal_text_of(std::FILE* stream) {
    terminal_text shown;
    shown.terminal = isatty(fileno(stream)) != 0;
    if (!shown.terminal)
        return shown;
    const char* set = nl_langinfo(CODESET);
    struct named {
        const char* set;
        text_encoding encoding;
    };
    static constexpr named sets[] = {
        {"UTF-8", text_encoding::utf8},          {"ANSI_X3.4-1968", text_encoding::utf8},
        {"ASCII", text_encoding::utf8},          {"KOI8-R", text_encoding::koi8_r},
        {"CP1251", text_encoding::windows_1251}, {"IBM866", text_encoding::cp866},
        {"CP866", text_encoding::cp866}};
    for (const named& n : sets)
        if (strcasecmp(set, n.set) == 0) {
            shown.encoding = n.encoding;
            return shown;
        }
    shown.write = write_in_locale;
    return shown;
}

bool console_of_its_own() {
    return false; // a terminal outlives the programs run in it
}

void wait_for_enter() {}
std::string text_for_terminal(const char* utf8) {
    // «» and the dash, which KOI8-R lacks, as << >> and -.
    return in_locale_set(utf8, true);
}

message_language user_message_language() {
    // Looked up as gettext would, then put back to the C the run began with: LC_MESSAGES also
    // sets strerror's language.
    const char* name = std::setlocale(LC_MESSAGES, "");
    // gettext ignores LANGUAGE under C, C.UTF-8 among them.
    const bool c = name == nullptr || std::strcmp(name, "C") == 0 ||
                   std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
    const message_language named = c ? message_language::english : language_of_locale(name);
    std::setlocale(LC_MESSAGES, "C");
    if (c)
        return message_language::english;
    const char* list = std::getenv("LANGUAGE");
    const message_language chosen =
        (list != nullptr ? language_of_list(list) : std::nullopt).value_or(named);
    // Russian that the terminal cannot show would be question marks alone.
    return chosen == message_language::russian && !shows_cyrillic() ? message_language::english
                                                                    : chosen;
}

void write_message(std::FILE* stream, std::initializer_list<const char*> pieces) {
    char line[4096];
    std::size_t size = 0;
    for (const char* piece : pieces)
        for (std::size_t length = std::strlen(piece); length > 0;) {
            if (size == sizeof line) {
                std::fwrite(line, 1, size, stream);
                size = 0;
            }
            const std::size_t taken = std::min(length, sizeof line - size);
            std::memcpy(line + size, piece, taken);
            size += taken;
            piece += taken;
            length -= taken;
        }
    std::fwrite(line, 1, size, stream);
}
