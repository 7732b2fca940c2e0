#include "app/platform.hpp"
#include "app/platform_windows.hpp"

#include "app/language_names.hpp"
#include <algorithm>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <shellapi.h>

bool locale_text_to_utf8(const std::string&, std::string&) {
    return false; // piped bytes are taken as they are; a console's characters come as characters
}

bool utf8_to_locale_text(const std::string&, std::string&) {
    return false; // never asked: no key here is read in a locale's character set
}

bool argument_characters(const char* argument, std::string& utf8) {
    utf8 = argument; // command_line_arguments made it UTF-8
    return true;
}

char** command_line_arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc)
        return argv;
    // Made once: a second call hands out the same arguments, never pointers into moved ones.
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    if (pointers.empty()) {
        for (int i = 0; i < count; ++i)
            arguments.push_back(narrow(wide[i], CP_UTF8));
        for (auto& argument : arguments)
            pointers.push_back(argument.data());
        pointers.push_back(nullptr);
    }
    LocalFree(wide);
    return pointers.data();
}

console_read read_console_key(std::string& line) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode) == 0)
        return console_read::not_console;
    // Characters, whatever the console's code page: up to the line break, a key's worth kept.
    std::wstring typed;
    wchar_t chunk[64];
    DWORD got = 0;
    // A typed line is bounded as a piped one is; past the bound the rest is not read.
    while (typed.size() < 512) {
        if (ReadConsoleW(input, chunk, 64, &got, nullptr) == 0) {
            errno = EIO; // a half-read line is no key
            return console_read::failed;
        }
        if (got == 0)
            break;
        typed.append(chunk, got);
        if (typed.find_first_of(L"\n", 0) != std::wstring::npos)
            break;
    }
    const std::size_t end = typed.find_first_of(std::wstring(L"\r\n\0", 3));
    typed.resize(end == std::wstring::npos ? typed.size() : end);
    line = narrow(typed.c_str(), CP_UTF8);
    return console_read::typed_characters;
}

void write_windows_1251(std::FILE* stream, const std::uint8_t* text, std::size_t size) {
    const HANDLE h = handle_of(stream);
    DWORD mode = 0;
    if (GetConsoleMode(h, &mode) != 0) {
        // A console takes characters, whatever its code page.
        std::wstring wide(size, L'\0');
        const int length =
            MultiByteToWideChar(1251, 0, reinterpret_cast<const char*>(text),
                                static_cast<int>(size), wide.data(), static_cast<int>(size));
        std::fflush(stream);
        DWORD written = 0;
        if (length > 0)
            WriteConsoleW(h, wide.data(), static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    // Redirected: bytes in the console's code page, or the system's out of a console.
    UINT page = GetConsoleOutputCP();
    if (page == 0)
        page = GetACP();
    std::string shown;
    for (std::size_t i = 0; i < size; ++i) {
        wchar_t wide = 0;
        char out[8];
        BOOL lossy = FALSE;
        const auto in = static_cast<char>(text[i]);
        const int length = MultiByteToWideChar(1251, 0, &in, 1, &wide, 1) == 1
                               ? WideCharToMultiByte(page, 0, &wide, 1, out, sizeof out, nullptr,
                                                     page == CP_UTF8 ? nullptr : &lossy)
                               : 0;
        if (length > 0 && lossy == FALSE)
            shown.append(out, static_cast<std::size_t>(length));
        else
            shown += '?';
    }
    std::fwrite(shown.data(), 1, shown.size(), stream);
}

namespace {

// Characters, a piece at a time, whatever the console's code page.
bool write_console_characters(std::FILE* stream, const std::uint8_t* text, std::size_t size) {
    const HANDLE h = handle_of(stream);
    if (std::fflush(stream) != 0)
        return false;
    constexpr std::size_t piece = 4096;
    wchar_t wide[piece];
    for (std::size_t done = 0; done < size;) {
        const std::size_t take = std::min(piece, size - done);
        const int length =
            MultiByteToWideChar(1251, 0, reinterpret_cast<const char*>(text + done),
                                static_cast<int>(take), wide, static_cast<int>(piece));
        for (int at = 0; at < length;) {
            DWORD written = 0;
            if (WriteConsoleW(h, wide + at, static_cast<DWORD>(length - at), &written, nullptr) ==
                    0 ||
                written == 0) {
                errno = EIO;
                return false;
            }
            at += static_cast<int>(written);
        }
        done += take;
    }
    return true;
}

// The code page a message written to a file or a pipe is in.
UINT output_page() {
    const UINT page = GetConsoleOutputCP();
    return page != 0 ? page : GetACP();
}

// Whether Russian reaches the user: a console takes any character; redirected, the code page
// must have Cyrillic.
bool shows_cyrillic() {
    DWORD mode = 0;
    if (GetConsoleMode(handle_of(stderr), &mode) != 0 || output_page() == CP_UTF8)
        return true;
    char out[8];
    BOOL lossy = FALSE;
    return WideCharToMultiByte(output_page(), 0, L"\x0436", 1, out, sizeof out, nullptr, &lossy) ==
               1 &&
           lossy == FALSE;
}

} // namespace

terminal_text terminal_text_of(std::FILE* stream) {
    terminal_text shown;
    DWORD mode = 0;
    shown.terminal = GetConsoleMode(handle_of(stream), &mode) != 0;
    if (shown.terminal)
        shown.write = write_console_characters;
    return shown;
}

bool console_of_its_own() {
    DWORD ids[2];
    DWORD mode = 0;
    // Wine gives a program started from a Unix shell a console of its own too, and that
    // terminal stays open when the run ends.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr)
        return false;
    // Explorer starts a console program in a console of its own; a console or a script it was
    // started from shares its console, and redirected input is no one typing.
    return GetConsoleProcessList(ids, 2) == 1 &&
           GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void wait_for_enter() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    wchar_t chunk[64];
    DWORD got = 0;
    while (ReadConsoleW(input, chunk, 64, &got, nullptr) != 0 && got != 0)
        if (std::wstring_view(chunk, got).find(L'\n') != std::wstring_view::npos)
            return;
}

message_language user_message_language() {
    // The user's word over the system's, as gettext's variables are on POSIX.
    message_language chosen = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN
                                  ? message_language::russian
                                  : message_language::english;
    if (const char* name = std::getenv("LANG"); name != nullptr && *name != '\0')
        chosen = language_of_locale(name);
    if (const char* list = std::getenv("LANGUAGE"); list != nullptr)
        chosen = language_of_list(list).value_or(chosen);
    // Redirected Russian in a code page without Cyrillic would be question marks alone.
    return chosen == message_language::russian && !shows_cyrillic() ? message_language::english
                                                                    : chosen;
}

std::string text_for_terminal(const char* utf8) {
    return utf8; // names are UTF-8 here too: write_message converts the whole line
}

void write_message(std::FILE* stream, std::initializer_list<const char*> pieces) {
    std::string text;
    for (const char* piece : pieces)
        text += piece;
    const HANDLE h = handle_of(stream);
    const std::wstring wide = widen(text.c_str());
    DWORD mode = 0;
    if (GetConsoleMode(h, &mode) != 0) {
        // A console takes characters, whatever its code page.
        std::fflush(stream);
        DWORD written = 0;
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const UINT page = output_page();
    const std::string shown = page == CP_UTF8 ? text : narrow(wide.c_str(), page);
    std::fwrite(shown.data(), 1, shown.size(), stream);
}
