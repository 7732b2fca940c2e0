#include "app/encoding_note.hpp"

#include "app/command_line.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"

#include <string>

void note_encoding(const run_context& run, const char* name, const letter_reader& reader) {
    if (reader.encoding_given || !reader.decided)
        return;
    const text_encoding read = reader.encoding;
    const text_encoding likeliest = reader.likeliest;
    const char* note = nullptr;
    if (read == text_encoding::cp866)
        note = tr("read as CP866");
    else if (read == text_encoding::koi8_r)
        note = tr("read as KOI8-R");
    else if (read == text_encoding::windows_1251 && likeliest == text_encoding::cp866)
        note = tr("read as Windows-1251, though it may be CP866 (too few letters to tell); --from "
                  "cp866 reads it so");
    else if (read == text_encoding::windows_1251 && likeliest == text_encoding::koi8_r)
        note = tr("read as Windows-1251, though it may be KOI8-R (too few letters to tell); --from "
                  "koi8-r reads it so");
    if (note != nullptr)
        run.report(shown_input_name(name), note);
}
