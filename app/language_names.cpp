#include "app/language_names.hpp"

#include <cstring>
#include <string_view>

namespace {

// Whether name is language, alone or followed by a territory, a character set or a modifier.
bool names_language(std::string_view name, std::string_view language) {
    return name.substr(0, language.size()) == language &&
           (name.size() == language.size() || std::strchr("_.@", name[language.size()]) != nullptr);
}

} // namespace

message_language language_of_locale(const char* name) {
    return names_language(name, "ru") ? message_language::russian : message_language::english;
}

std::optional<message_language> language_of_list(const char* list) {
    // Looked through in place: nothing is allocated before the run's first file.
    for (std::string_view rest = list; !rest.empty();) {
        const std::size_t colon = rest.find(':');
        const std::string_view name = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (names_language(name, "ru"))
            return message_language::russian;
        // The sources' own language, which no catalog needs to hold.
        if (names_language(name, "en") || name == "C" || name == "POSIX")
            return message_language::english;
    }
    return std::nullopt;
}
