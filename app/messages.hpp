// The tools' messages in the user's language: English as the sources write it, or Russian from
// the table compiled in from po/ru.po (po/make_catalog.py). A message is marked tr("...") where
// it is shown, tr_plural(n, "...", "...") when it counts something; xgettext finds both for
// po/decipher.pot.
#pragma once

#include <cstdint>

enum class message_language { english, russian };

// The language of tr and tr_plural from now on; English until it is called.
void use_message_language(message_language language);

// english in the run's language and in the character set the run writes (text_for_terminal).
[[gnu::format_arg(1)]] const char* tr(const char* english);

// The singular or a plural form, whichever suits n, as tr gives it.
[[gnu::format_arg(2)]] [[gnu::format_arg(3)]] const char*
tr_plural(std::uint64_t n, const char* one, const char* many);

// Marks a message where it is defined, for xgettext; tr translates it where it is shown.
constexpr const char* tr_noop(const char* english) {
    return english;
}

// A message in language as the table holds it, UTF-8; english itself when it has no
// translation there.
const char* translation(message_language language, const char* english);
const char* plural_translation(message_language language, std::uint64_t n, const char* one,
                               const char* many);
