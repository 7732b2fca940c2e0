#include "app/run_note.hpp"

#include "app/message_format.hpp"
#include "app/messages.hpp"

namespace {

// A note that counts n, its texts marked for xgettext as tr_plural's are (po/make_template.sh).
run_note counted_note(std::uint64_t n, const char* one, const char* many) {
    run_note note;
    note.text = one;
    note.plural = many;
    note.n = n;
    return note;
}

run_note plain_note(const char* text, const char* arg = "") {
    run_note note;
    note.text = text;
    note.arg = arg;
    return note;
}

} // namespace

std::string note_text(const run_note& note) {
    if (note.plural != nullptr)
        return message_format(tr_plural(note.n, note.text, note.plural),
                              static_cast<std::size_t>(note.n));
    return message_format(tr(note.text), note.arg.c_str());
}

run_note skipped_bytes_note(const letter_reader& reader) {
    const std::size_t skipped = skipped_bytes(reader);
    if (skipped == 0)
        return {};
    return counted_note(skipped, "%zu byte is not UTF-8; skipped",
                        "%zu bytes are not UTF-8; skipped");
}

run_note plaintext_note(text_verdict verdict) {
    if (verdict != text_verdict::not_russian)
        return {};
    return plain_note(tr_noop("the text does not read as Russian; is the key right? (crack finds "
                              "a key from the text alone)"));
}

run_note candidate_note(text_verdict verdict, bool close, const char* name, std::size_t letters,
                        bool crib_given, bool length_given) {
    // A text that is not Russian has no runner-up worth naming.
    if (verdict == text_verdict::not_russian)
        return plain_note(tr_noop("no key gives Russian text; is %s enciphered this way, in "
                                  "Windows-1251 or UTF-8?"),
                          name);
    if (verdict == text_verdict::too_short_to_tell) {
        if (!crib_given && !length_given)
            return counted_note(letters,
                                "%zu letter is too few to be sure; a word you expect in the text "
                                "(--crib) or the key length (--length) narrows the search",
                                "%zu letters are too few to be sure; a word you expect in the text "
                                "(--crib) or the key length (--length) narrows the search");
        if (!crib_given)
            return counted_note(letters,
                                "%zu letter is too few to be sure; a word you expect in the text "
                                "(--crib) narrows the search",
                                "%zu letters are too few to be sure; a word you expect in the text "
                                "(--crib) narrows the search");
        if (!length_given)
            return counted_note(letters,
                                "%zu letter is too few to be sure; the key length (--length) "
                                "narrows the search",
                                "%zu letters are too few to be sure; the key length (--length) "
                                "narrows the search");
        return counted_note(letters, "%zu letter is too few to be sure",
                            "%zu letters are too few to be sure");
    }
    if (close)
        return plain_note(tr_noop("the runner-up is close; the text may be too short to be sure"));
    return {};
}
