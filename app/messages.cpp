#include "app/messages.hpp"

#include "app/platform.hpp"

#include <array>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct catalog_entry {
    const char* english;
    const char* english_plural;         // nullptr for a message without a count
    std::array<const char*, 3> russian; // the forms for 1, 2 and 5; nullptr where there is none
};

// In the order of po/ru.po.
constexpr catalog_entry catalog[] = {
#include "app/russian_messages.inc"
};

message_language run_language = message_language::english;

// The table's texts as the run writes them, filled in on first use: three a message.
std::vector<std::string> shown;
std::vector<bool> made;

bool same(const char* a, const char* b) {
    return a == nullptr ? b == nullptr : b != nullptr && std::strcmp(a, b) == 0;
}

const catalog_entry* find(const char* english, const char* english_plural) {
    for (const catalog_entry& e : catalog)
        if (same(e.english, english) && same(e.english_plural, english_plural))
            return &e;
    return nullptr;
}

// The rule of po/ru.po's Plural-Forms: 1, 21 буква; 2, 22 буквы; 5, 11 букв.
std::size_t russian_form(std::uint64_t n) {
    const std::uint64_t ones = n % 10;
    const std::uint64_t tens = n % 100;
    if (ones == 1 && tens != 11)
        return 0;
    return ones >= 2 && ones <= 4 && (tens < 10 || tens >= 20) ? 1 : 2;
}

// The Russian text of a message, or nullptr where the table has none.
const char* russian(const char* english, const char* english_plural, std::size_t form) {
    const catalog_entry* e = find(english, english_plural);
    return e != nullptr ? e->russian.at(form) : nullptr;
}

// english, translated for the run and converted to its character set.
const char* shown_text(const char* english, const char* english_plural, std::size_t form,
                       const char* untranslated) {
    if (run_language == message_language::english)
        return untranslated;
    const catalog_entry* e = find(english, english_plural);
    if (e == nullptr || e->russian[form] == nullptr)
        return untranslated;
    if (shown.empty()) {
        shown.resize(std::size(catalog) * 3);
        made.resize(std::size(catalog) * 3);
    }
    const auto slot = static_cast<std::size_t>(e - std::begin(catalog)) * 3 + form;
    if (!made[slot]) {
        shown[slot] = text_for_terminal(e->russian[form]);
        made[slot] = true;
    }
    return shown[slot].c_str();
}

} // namespace

void use_message_language(message_language language) {
    run_language = language;
    // Made when first needed: nothing is allocated before the run's first file.
    shown.clear();
    made.clear();
}

const char* tr(const char* english) {
    return shown_text(english, nullptr, 0, english);
}

const char* tr_plural(std::uint64_t n, const char* one, const char* many) {
    if (run_language == message_language::english)
        return n == 1 ? one : many;
    return shown_text(one, many, russian_form(n), n == 1 ? one : many);
}

const char* translation(message_language language, const char* english) {
    const char* text =
        language == message_language::russian ? russian(english, nullptr, 0) : nullptr;
    return text != nullptr ? text : english;
}

const char* plural_translation(message_language language, std::uint64_t n, const char* one,
                               const char* many) {
    const char* text =
        language == message_language::russian ? russian(one, many, russian_form(n)) : nullptr;
    return text != nullptr ? text : n == 1 ? one : many;
}
