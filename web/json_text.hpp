// The page's answers are JSON: a few writers over a string, enough for flat objects and lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// text as a JSON string, quotes included; text is UTF-8.
void append_json_string(std::string& json, std::string_view text);

// The Windows-1251 letters and ASCII of text[0, size) as a JSON string of their UTF-8.
void append_json_letters(std::string& json, const std::uint8_t* text, std::size_t size);

// `"name":` after a comma when the object or list already holds something.
void append_json_name(std::string& json, std::string_view name);
