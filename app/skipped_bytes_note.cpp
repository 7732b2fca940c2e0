#include "app/skipped_bytes_note.hpp"

#include "app/command_line.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"

void note_skipped_bytes(const run_context& run, const char* name, const letter_reader& reader) {
    const std::size_t skipped = skipped_bytes(reader);
    if (skipped == 0)
        return;
    run.report(shown_input_name(name),
               message_format(tr_plural(skipped, "%zu byte is not UTF-8; skipped",
                                        "%zu bytes are not UTF-8; skipped"),
                              skipped)
                   .c_str());
}
