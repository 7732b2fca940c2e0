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
// carry bytes as they are.
void guard_standard_streams();

// Opens name for writing, creating it when absent but without emptying it. nullptr and errno
// on failure.
std::FILE* open_unemptied(const char* name);

// Empties a regular file opened with open_unemptied; a device or a pipe is left as it is.
// False and errno on failure.
bool empty_file(std::FILE* file);

// Whether two open streams are on the same file, whatever names led to it.
bool same_file(std::FILE* a, std::FILE* b);

// Whether the stream is on a directory, which some systems open but never read.
bool is_directory(std::FILE* file);

// Creates a new, empty file in the folder of `name`, for writing, to be put in its place by
// replace_file; its name goes to temp_name. nullptr and errno on failure.
std::FILE* create_beside(const char* name, std::string& temp_name);

// Puts the file temp_name in the place of name in one step: name is either the old file or the
// new one, never half of either. False and errno on failure.
bool replace_file(const char* temp_name, const char* name);

// Windows-1251 text as the console's character set shows it; a letter it cannot show is '?'.
std::string console_text(const std::uint8_t* text, std::size_t size);
