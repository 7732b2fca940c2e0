#include "web/json_text.hpp"

#include "cipher/letter_kernels.hpp"

#include <cstdio>
#include <vector>

void append_json_string(std::string& json, std::string_view text) {
    json += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(u));
            json += escaped;
        } else {
            json += c;
        }
    }
    json += '"';
}

void append_json_letters(std::string& json, const std::uint8_t* text, std::size_t size) {
    std::vector<std::uint8_t> utf8(2 * size);
    const std::size_t bytes = encode_utf8(text, size, utf8.data());
    append_json_string(json, std::string_view(reinterpret_cast<const char*>(utf8.data()), bytes));
}

void append_json_name(std::string& json, std::string_view name) {
    if (!json.empty() && json.back() != '{' && json.back() != '[')
        json += ',';
    append_json_string(json, name);
    json += ':';
}
