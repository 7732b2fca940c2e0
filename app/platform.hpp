// What differs between operating systems, each behind one name: platform_files_posix.cpp and
// platform_text_posix.cpp hold the POSIX side (files and replacing them; terminal text, keys and
// arguments), platform_files_windows.cpp and platform_text_windows.cpp the Windows one. Names reach
// these functions as the tools carry them: as given on POSIX, UTF-8 on Windows
// (command_line_arguments).
#pragma once

#include "app/file_identity.hpp"
#include "app/messages.hpp"
#include "cipher/text_encoding.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>

// The arguments as the tools take them: on POSIX as they come; on Windows read again as
// UTF-16 and made UTF-8, so that no name or key is lost to the code page.
char** command_line_arguments(int argc, char** argv);

// Reopens a closed standard descriptor on the null device, so that no file opened later lands
// on it and gets the key read from it or the prompt written into it. Standard input and output
// carry bytes as they are. A file-size limit makes a write fail with "File too large" instead of
// ending the run unannounced.
void guard_standard_streams();

// The reason to give for a failure to open name: error, except that a directory that the
// system only calls inaccessible is named as one.
int open_failure(const char* name, int error);

// The reason to give for a failed write or close of stream (null once it is closed): error,
// except where the C runtime names a full disk or a pipe with no reader otherwise.
int write_failure(std::FILE* stream, int error);

// What an open stream, or the file a name leads to, is. A name's links are followed.
file_identity identify(std::FILE* file);
file_identity identify(const char* name);

// What name itself is, a symbolic link not followed: a link counts as regular, since it is
// replaced, not written through, unless it is in /dev or /proc or leads there; special is a
// named pipe, a device or a socket, written in place.
enum class file_kind { absent, regular, directory, special };
file_kind kind_of(const char* name);

// The descriptor name stands for, links followed: /dev/stdout and its kind, /dev/fd/N or
// /proc/self/fd/N. -1 for any other name.
int named_descriptor(const char* name);

// A stream of its own that writes through descriptor, open as it is. nullptr and errno on
// failure.
std::FILE* open_descriptor(int descriptor);

// std::fopen.
std::FILE* open_file(const char* name, const char* mode);

// Opens name for writing, creating it when absent but without emptying it. nullptr and errno
// on failure.
std::FILE* open_unemptied(const char* name);

// Empties a regular file opened with open_unemptied; a device or a pipe is left as it is.
// False and errno on failure.
bool empty_file(std::FILE* file);

// Removes the file that name leads to, links followed: the one this run has just created
// through it, never a link the user made.
void remove_created(const char* name);

// Whether the file that name leads to is one its owner made read-only, or one this process may
// not write: EACCES then, else 0.
int refuses_replacement(const char* name);

// A new, empty file in the folder of `name`, for writing, to take its place by commit_beside.
// Its name is short whatever name is, so any name the system allows can be replaced. It gets
// the old file's permissions and, where the process may, its owner and group; with no old file,
// what a plain create gives. Until it is committed or discarded, a signal that ends the run
// removes it first. nullptr and errno on failure.
std::FILE* create_beside(const char* name, std::string& temp_name);

// Why a file could not be closed, or put in the place of another: error is 0 when it was.
struct close_failure {
    int error = 0;
    bool owner_only = false; // the folder refuses the rename to anyone but the file's owner
};

// Writes temp out to the disk, closes it and puts it in the place of name in one step, then
// makes the rename itself durable: name is either the old file or the new one, never half of
// either. temp is closed either way. A rename the folder refuses to anyone but the file's owner
// fails with EPERM and owner_only.
close_failure commit_beside(std::FILE* temp, const std::string& temp_name, const char* name);

// Closes temp, unless it is null, and removes the file.
void discard_beside(std::FILE* temp, const std::string& temp_name);

// text in the locale's character set (LC_CTYPE, set once at the start of the run) as UTF-8.
// False when it is not valid text there, or the locale's set cannot be converted at all; on
// Windows a piped line is always its bytes.
bool locale_text_to_utf8(const std::string& text, std::string& utf8);
// The other way: UTF-8 as the locale's character set shows it. False when it cannot.
bool utf8_to_locale_text(const std::string& utf8, std::string& text);

// A key given on the command line (as command_line_arguments gives it) where the system hands
// over characters rather than bytes: true with utf8 set to them. False where the argument's bytes
// are to be judged as a typed line is.
bool argument_characters(const char* argument, std::string& utf8);

// Reads the key line from a console that delivers characters, not bytes, as UTF-8, without its
// line break: typed_characters. not_console: standard input is no such console, and the line
// is to be read as bytes.
enum class console_read { typed_characters, not_console, failed };
console_read read_console_key(std::string& line);

// Writes Windows-1251 text to stream as the console's character set shows it: a console on
// Windows takes characters; elsewhere the bytes are in the locale's (or the console's code
// page's) character set, UTF-8 for the C locale's ASCII, and a letter it cannot show is '?'.
void write_windows_1251(std::FILE* stream, const std::uint8_t* text, std::size_t size);

// How text is to go to stream when it is a terminal (a console on Windows), so that it shows:
// terminal is false for a file or a pipe. On POSIX, encoding is the locale's character set when
// the tools write it (UTF-8 under the C locale, as its keys are read), else write converts each
// letter, '?' where the set lacks it. On Windows, write hands the console characters.
struct terminal_text {
    bool terminal = false;
    std::optional<text_encoding> encoding;
    bool (*write)(std::FILE* stream, const std::uint8_t* text, std::size_t size) = nullptr;
};
terminal_text terminal_text_of(std::FILE* stream);

// Whether the run has a console made for it alone, as when started by a double-click on Windows:
// the window closes when the run ends, whatever it said.
bool console_of_its_own();
// Waits until Enter is pressed at the console.
void wait_for_enter();
// The language the user reads: on POSIX as gettext takes it (LANGUAGE, unless the messages'
// locale is C; LC_ALL, LC_MESSAGES, LANG), and English where the locale's character set has no
// Cyrillic; on Windows LANGUAGE or LANG when set, else the user's interface language. Sets no
// locale: the system's own reasons (strerror) keep theirs.
message_language user_message_language();

// UTF-8 text in the character set the run writes its messages in: the locale's (LC_CTYPE) on
// POSIX, a character it lacks '?'; UTF-8 on Windows, where write_message converts it.
std::string text_for_terminal(const char* utf8);

// Writes a message, its pieces one after another in the run's character set (text_for_terminal),
// to stream as the console shows it: on Windows a console takes characters, and redirected it is
// bytes in the console's code page (the system's out of a console), or UTF-8. Elsewhere the
// bytes as they are, in one write where they fit 4 KiB, and with nothing allocated: a run out
// of memory still says so.
void write_message(std::FILE* stream, std::initializer_list<const char*> pieces);
