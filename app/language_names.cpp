#include "app/language_names.hpp"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Whether name is language, alone or followed by a territory, a character set or a modifier.
bool names_language(const std::string& name, const char* language) {
    const std::size_t length = std::strlen(language);
    return name.compare(0, length, language) == 0 &&
           (name.size() == length || std::strchr("_.@", name[length]) != nullptr);
}

} // namespace

message_language language_of_locale(const char* name) {
    return names_language(name, "ru") ? message_language::russian : message_language::english;
}

std::optional<message_language> language_of_list(const char* list) {
    const std::string text(list);
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(':', start), text.size());
        const std::string name = text.substr(start, end - start);
        if (names_language(name, "ru"))
            return message_language::russian;
        // The sources' own language, which no catalog needs to hold.
        if (names_language(name, "en") || name == "C" || name == "POSIX")
            return message_language::english;
        start = end + 1;
    }
    return std::nullopt;
}
