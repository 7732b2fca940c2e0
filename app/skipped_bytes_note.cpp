#include "app/skipped_bytes_note.hpp"

#include "app/command_line.hpp"

#include <string>

void note_skipped_bytes(const run_context& run, const char* name, const letter_reader& reader) {
    const std::size_t skipped = skipped_bytes(reader);
    if (skipped == 0)
        return;
    const std::string reason =
        std::to_string(skipped) +
        (skipped == 1 ? " byte is not UTF-8; skipped" : " bytes are not UTF-8; skipped");
    run.report(shown_input_name(name), reason.c_str());
}
