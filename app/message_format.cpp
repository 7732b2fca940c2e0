#include "app/message_format.hpp"

#include <cstdarg>
#include <cstdio>

std::string message_format(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0) {
        va_start(args, format);
        std::vsnprintf(text.data(), text.size() + 1, format, args);
        va_end(args);
    }
    return text;
}
