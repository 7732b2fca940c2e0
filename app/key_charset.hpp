// A key's characters as Windows-1251, the character set the key order is defined over, from
// whatever character set they were typed in.
#pragma once

#include <string>

// Converts UTF-8 to Windows-1251. False when text is not well-formed UTF-8; true otherwise,
// with no_form set to the first character Windows-1251 lacks (as its UTF-8), if there is one.
bool utf8_to_windows_1251(const std::string& text, std::string& out, std::string& no_form);

// Whether text is well-formed UTF-8 that holds a Cyrillic character (U+0400..U+04FF).
bool is_cyrillic_utf8(const std::string& text);

// The key's Windows-1251 characters, or why there are none.
struct key_text {
    std::string text;
    std::string no_form; // a character with no Windows-1251 form, as typed: the key is refused
    bool read_as_utf8 = false; // the locale is C, and the bytes were taken as UTF-8
};

// A key line in the locale's character set: one that holds a character outside ASCII and is
// valid text there is converted, and refused if a character has no Windows-1251 form; under the
// C locale, well-formed UTF-8 with Cyrillic in it is taken as UTF-8, far likelier than those
// bytes meant as Windows-1251 letters. Any other line is its bytes. A line cut at the bound may
// end in half a character, which does not count against it. c_locale: the locale is C or POSIX,
// or could not be set.
key_text key_in_windows_1251(const std::string& line, bool cut, bool c_locale);
