#include "app/skipped_bytes_note.hpp"

#include "app/command_line.hpp"
#include "app/run_note.hpp"

void note_skipped_bytes(const run_context& run, const char* name, const letter_reader& reader) {
    const run_note note = skipped_bytes_note(reader);
    if (note.text != nullptr)
        run.report(shown_input_name(name), note_text(note).c_str());
}
