// What differs between operating systems, each behind one name: platform_posix.cpp holds the
// POSIX side, platform_windows.cpp the Windows one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The reason to give for a failure to open name: error, except that a directory that the
// system only calls inaccessible is named as one.
int open_failure(const char* name, int error);

// Reopens a closed standard descriptor on the null device, so that no file opened later lands
// on it and gets the key read from it or the prompt written into it. Standard input and output
// carry bytes as they are. A file-size limit makes a write fail with "File too large" instead of
// ending the run unannounced.
void guard_standard_streams();

// Opens name for writing, creating it when absent but without emptying it. nullptr and errno
// on failure.
std::FILE* open_unemptied(const char* name);

// Empties a regular file opened with open_unemptied; a device or a pipe is left as it is.
// False and errno on failure.
bool empty_file(std::FILE* file);

// Whether two open streams are on the same file, whatever names led to it.
bool same_file(std::FILE* a, std::FILE* b);

// Whether name leads to the file the stream is on. Nothing is opened, so a named pipe cannot
// block.
bool same_file(std::FILE* file, const char* name);

// Whether two names lead to one existing file.
bool same_file(const char* a, const char* b);

// What name is, a symbolic link not followed: a link counts as regular, since it is replaced,
// not written through. special is a named pipe, a device or a socket, written in place.
enum class file_kind { absent, regular, directory, special };
file_kind kind_of(const char* name);

// Whether the stream is on a directory, which some systems open but never read.
bool is_directory(std::FILE* file);

// Creates a new, empty file in the folder of `name`, for writing, to be put in its place by
// commit_beside; its name goes to temp_name. It gets the old file's permissions and, where the
// process may, its owner and group; with no old file, what a plain create gives. Until it is
// committed or discarded, a signal that ends the run removes it first. nullptr and errno on
// failure.
std::FILE* create_beside(const char* name, std::string& temp_name);

// Writes temp out to the disk, closes it and puts it in the place of name in one step, then
// makes the rename itself durable: name is either the old file or the new one, never half of
// either. False and errno on failure, temp closed either way; discard_beside then removes it.
bool commit_beside(std::FILE* temp, const std::string& temp_name, const char* name);

// Closes temp, unless it is null, and removes the file.
void discard_beside(std::FILE* temp, const std::string& temp_name);

// Removes a file create_beside made that is neither committed nor discarded: for a run that
// cannot go on, such as one out of memory.
void discard_unfinished();

// The reason to give for a failed write or close: error, except where the C runtime names a
// full disk otherwise.
int write_failure(int error);

// A key line typed or piped in, as the key's Windows-1251 characters: a line that is valid text
// in the locale's character set, holds a character outside ASCII and has a Windows-1251 form
// for every character is converted; any other line is kept as its bytes.
std::string key_in_windows_1251(const std::string& line);

// A key given on the command line (as command_line_arguments gives it), as its Windows-1251
// characters, converted as a typed key is.
std::string key_from_argument(const char* argument);

// The arguments as the tools take them: on POSIX as they come; on Windows read again as
// UTF-16 and made UTF-8, so that no name or key is lost to the code page.
char** command_line_arguments(int argc, char** argv);

// std::fopen, for a name given as command_line_arguments gives it.
std::FILE* open_file(const char* name, const char* mode);

// Removes the file called name, given as command_line_arguments gives it.
void remove_file(const char* name);

// Reads the key line from a console that delivers characters, not bytes, as Windows-1251 (a
// character with no form there becomes '?'), without its line break. False when standard input
// is no such console; the line is then to be read as bytes.
bool read_console_key(std::string& line);

// Windows-1251 text as the console's character set shows it; a letter it cannot show is '?'.
std::string console_text(const std::uint8_t* text, std::size_t size);
