// What a locale's name, or gettext's LANGUAGE list, says of the language of the messages.
#pragma once

#include "app/messages.hpp"

#include <optional>

// "ru", "ru_RU.UTF-8", "ru_UA@euro": Russian; any other name, English.
message_language language_of_locale(const char* name);

// LANGUAGE, such as "uk:ru:en": the first language on it that the tools speak, English ("en",
// "C") as much as Russian; nothing when none is, and the locale decides.
std::optional<message_language> language_of_list(const char* list);
