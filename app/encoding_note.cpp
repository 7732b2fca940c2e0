#include "app/encoding_note.hpp"

#include "app/command_line.hpp"

#include <string>

namespace {

// As --from takes it.
const char* option_name(text_encoding encoding) {
    return encoding == text_encoding::cp866 ? "cp866" : "koi8-r";
}

} // namespace

void note_encoding(const run_context& run, const char* name, const letter_reader& reader) {
    if (reader.encoding_given || !reader.decided)
        return;
    const text_encoding read = reader.encoding;
    const text_encoding likeliest = reader.likeliest;
    std::string note;
    if (read == text_encoding::cp866 || read == text_encoding::koi8_r)
        note = std::string("read as ") + encoding_name(read);
    else if (read == text_encoding::windows_1251 && likeliest != read)
        note = std::string("read as Windows-1251, though it may be ") + encoding_name(likeliest) +
               " (too few letters to tell); --from " + option_name(likeliest) + " reads it so";
    if (!note.empty())
        run.report(shown_input_name(name), note.c_str());
}
