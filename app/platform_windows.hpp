// What the two Windows sources share: the handle behind a stream, and names and text between
// UTF-8 and the system's UTF-16.
#pragma once

#include <cstdio>
#include <string>

#include <windows.h>

HANDLE handle_of(std::FILE* file);
// Names reach the tools as UTF-8 (command_line_arguments), and the system takes them as
// UTF-16, so that a name in any language opens whatever the code page.
std::wstring widen(const char* text);
std::string narrow(const wchar_t* text, UINT page);
