// printf into a string, for a message whose words come from tr: the compiler checks the
// arguments against the English text, which every translation keeps.
#pragma once

#include <string>

#ifdef __MINGW32__
#define MESSAGE_PRINTF gnu_printf // MinGW's plain printf is Microsoft's, without %zu
#else
#define MESSAGE_PRINTF printf
#endif

[[gnu::format(MESSAGE_PRINTF, 1, 2)]] std::string message_format(const char* format, ...);
