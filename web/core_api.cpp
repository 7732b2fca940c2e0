#include "web/core_api.hpp"

#include "analysis/key_search.hpp"
#include "analysis/verdict.hpp"
#include "analysis/word_breaks.hpp"
#include "app/key_charset.hpp"
#include "app/run_note.hpp"
#include "cipher/key_order.hpp"
#include "cipher/letter_reader.hpp"
#include "cipher/text_stream.hpp"
#include "cipher/transposition.hpp"
#include "web/json_text.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// What a run tells the user: a tool's "file: reason", or a note of its own. Texts are msgids.
struct note {
    const char* kind = "warning"; // or "error"
    const char* where = nullptr;  // a msgid, or nullptr for the text's name, when placed
    std::string where_arg;        // its %s
    bool placed = false;          // "where: text" rather than the text alone
    const char* text = "";
    const char* plural = nullptr;
    std::uint64_t n = 0;
    std::string arg; // the text's %s; n fills a %zu
};

struct run_answer {
    std::vector<note> notes;
    std::string json; // the run's own fields, each with a comma before it
};

std::vector<std::uint8_t> output_text;
std::string answer_text;

void append_note(std::string& json, const note& said, const char* name) {
    json += '{';
    append_json_name(json, "kind");
    append_json_string(json, said.kind);
    if (said.placed) {
        append_json_name(json, "where");
        append_json_string(json, said.where != nullptr ? said.where : name);
        append_json_name(json, "where_translated");
        json += said.where != nullptr ? "true" : "false";
        append_json_name(json, "where_arg");
        append_json_string(json, said.where_arg);
    }
    append_json_name(json, "text");
    append_json_string(json, said.text);
    if (said.plural != nullptr) {
        append_json_name(json, "plural");
        append_json_string(json, said.plural);
    }
    append_json_name(json, "n");
    json += std::to_string(said.n);
    append_json_name(json, "arg");
    append_json_string(json, said.arg);
    json += '}';
}

// A note of the run's own, and one placed at where (nullptr: the text's name).
note told(const char* text, std::string arg = {}) {
    note said;
    said.text = text;
    said.arg = std::move(arg);
    return said;
}

// A note the tools give too, as they give it.
note told(const run_note& shared) {
    note said = told(shared.text, shared.arg);
    said.plural = shared.plural;
    said.n = shared.n;
    return said;
}

note about(const char* where, std::string where_arg, const char* text, std::string arg = {}) {
    note said = told(text, std::move(arg));
    said.placed = true;
    said.where = where;
    said.where_arg = std::move(where_arg);
    return said;
}

const char* finish(const run_answer& answer, bool done, const char* name) {
    answer_text = "{";
    append_json_name(answer_text, "done");
    answer_text += done ? "true" : "false";
    append_json_name(answer_text, "notes");
    answer_text += '[';
    for (const note& said : answer.notes)
        append_note(answer_text, said, name);
    answer_text += ']';
    if (!answer.json.empty())
        answer_text += ',';
    answer_text += answer.json;
    answer_text += '}';
    return answer_text.c_str();
}

const char* refuse(run_answer& answer, note said, const char* name) {
    said.kind = "error";
    answer.notes.push_back(said);
    output_text.clear();
    return finish(answer, false, name);
}

// A text held in memory as the stream the tools read; an empty one is a stream at its end.
std::FILE* open_text(const std::uint8_t* text, std::size_t size) {
    static std::uint8_t nothing = 0;
    if (size == 0) {
        std::FILE* in = fmemopen(&nothing, 1, "rb");
        if (in != nullptr)
            std::fseek(in, 1, SEEK_SET);
        return in;
    }
    return fmemopen(const_cast<std::uint8_t*>(text), size, "rb");
}

// A run's text, read as the tools read theirs, its encoding decided as they decide it.
struct held_text {
    std::FILE* in;
    letter_reader reader;

    held_text(const std::uint8_t* text, std::size_t size) : in(open_text(text, size)) {
        if (in == nullptr)
            return;
        reader = make_letter_reader(in);
        read_byte_order_mark(reader);
        decide_encoding(reader);
    }
    held_text(const held_text&) = delete;
    held_text& operator=(const held_text&) = delete;
    ~held_text() {
        if (in != nullptr)
            std::fclose(in);
    }
    // UTF-16, which the tools refuse.
    bool refused() const { return reader.encoding == text_encoding::utf16; }
};

const char* const utf16_refused = "UTF-16 text; save it as UTF-8 or Windows-1251";

// The block loop's extras: the output in the encoding output names, the plaintext's start kept
// in summary, and when words, the word breaks of breaker.
stream_extras extras_for(int output, bool words, stream_summary& summary, word_breaker& breaker) {
    stream_extras extras;
    extras.reads_wait = false;
    extras.reader_thread = false; // no threads in the page's build
    if (output == 0)
        extras.output = text_encoding::windows_1251;
    else if (output == 1)
        extras.output = text_encoding::utf8;
    extras.summary = &summary;
    if (words)
        extras.filter = word_break_filter(breaker);
    return extras;
}

// The label the page hands its TextDecoder and the save step; not the name messages give.
const char* answer_encoding_label(text_encoding encoding) {
    return encoding == text_encoding::utf8 ? "utf-8" : "windows-1251";
}

// The block loop's output, kept for core_output.
struct memory_output {
    char* bytes = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&bytes, &size);

    memory_output() = default;
    memory_output(const memory_output&) = delete;
    memory_output& operator=(const memory_output&) = delete;
    ~memory_output() {
        if (stream != nullptr)
            std::fclose(stream);
        std::free(bytes);
    }
    void keep() {
        std::fflush(stream);
        output_text.assign(bytes, bytes + size);
    }
};

void append_order(std::string& json, const std::int32_t* order, int n) {
    json += '[';
    for (int r = 0; r < n; ++r)
        json += (r > 0 ? "," : "") + std::to_string(order[r]);
    json += ']';
}

// The cipher as --table draws it: the key over its columns, their ranks, the first block's
// square row by row, and its columns in the order they are read.
void append_table(std::string& json, const std::string& key, const std::int32_t* order, int n,
                  const std::uint8_t* plain, std::size_t plain_size, std::uint64_t letters) {
    const std::size_t block = block_letters(n);
    const std::size_t first = std::min({block, plain_size, static_cast<std::size_t>(letters)});
    std::array<std::uint8_t, max_block_size> lower{};
    for (std::size_t i = 0; i < first; ++i)
        lower[i] = static_cast<std::uint8_t>(plain[i] | 0x20U);
    std::array<std::uint8_t, max_block_size> cipher{};
    encipher_letters(lower.data(), first, order, n, cipher.data());

    append_json_name(json, "table");
    json += '{';
    append_json_name(json, "key");
    append_json_string(json, key);
    append_json_name(json, "order");
    append_order(json, order, n);
    append_json_name(json, "letters");
    json += std::to_string(letters);
    append_json_name(json, "block");
    json += std::to_string(block);
    append_json_name(json, "square");
    append_json_letters(json, lower.data(), first);
    append_json_name(json, "cipher");
    append_json_letters(json, cipher.data(), first);
    json += '}';
}

// The first max_key_length characters of a UTF-8 key, as cut_key cuts its Windows-1251 form.
std::string cut_characters(const std::string& utf8, std::size_t characters) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < utf8.size(); ++at) {
        if ((static_cast<unsigned char>(utf8[at]) & 0xC0U) != 0x80U && seen++ == characters)
            break;
    }
    return utf8.substr(0, at);
}

// The key's column order, as get_key builds it; 0 after a refusal noted.
int take_key(run_answer& answer, const char* typed, std::array<std::int32_t, max_key_length>& order,
             std::string& shown) {
    std::string key;
    std::string no_form;
    utf8_to_windows_1251(typed, key, no_form);
    if (!no_form.empty()) {
        answer.notes.push_back(about("key", "", "\"%s\" has no Windows-1251 form", no_form));
        return 0;
    }
    if (key.empty()) {
        answer.notes.push_back(about("key word", "", "empty"));
        return 0;
    }
    shown = cut_characters(typed, max_key_length);
    if (key.size() > max_key_length) {
        key.resize(max_key_length);
        answer.notes.push_back(told("the key is cut to its first 9 characters: %s", shown));
    }
    const int n = static_cast<int>(key.size());
    fill_column_order(order.data(), n, key.c_str());
    return n;
}

void note_skipped(run_answer& answer, const letter_reader& reader) {
    const run_note skipped = skipped_bytes_note(reader);
    if (skipped.text == nullptr)
        return;
    note said = told(skipped);
    said.placed = true;
    answer.notes.push_back(said);
}

void append_summary(std::string& json, text_encoding input, text_encoding output,
                    std::uint64_t letters) {
    append_json_name(json, "input_encoding");
    append_json_string(json, answer_encoding_label(input));
    append_json_name(json, "encoding");
    append_json_string(json, answer_encoding_label(output));
    append_json_name(json, "letters");
    json += std::to_string(letters);
}

// A crack whose best candidate's text is not Russian, too short or a close call, as crack says.
void note_verdict(run_answer& answer, const std::vector<key_candidate>& found, std::size_t held,
                  bool crib, bool length, const char* name) {
    const run_note said = candidate_note(judge_candidate(found[0]),
                                         found.size() > 1 && close_call(found[0], found[1]), name,
                                         held, crib, length);
    if (said.text != nullptr)
        answer.notes.push_back(told(said));
}

void append_candidates(std::string& json, const std::vector<key_candidate>& found,
                       const std::uint8_t* letters) {
    constexpr std::size_t shown_letters = 40; // as crack lists them
    append_json_name(json, "candidates");
    json += '[';
    for (const key_candidate& c : found) {
        std::array<char, max_key_length + 1> key{};
        candidate_key_word(c, key.data());
        std::vector<std::uint8_t> plain(c.letters);
        decipher_letters(letters, c.letters, c.order.data(), c.n, plain.data());
        json += json.back() == '[' ? "{" : ",{";
        append_json_name(json, "key");
        append_json_string(json, key.data());
        append_json_name(json, "length");
        json += std::to_string(c.n);
        std::array<char, 32> score{};
        std::snprintf(score.data(), score.size(), "%.3f", c.score);
        append_json_name(json, "score");
        append_json_string(json, score.data());
        append_json_name(json, "start");
        append_json_letters(json, plain.data(), std::min(plain.size(), shown_letters));
        json += '}';
    }
    json += ']';
}

} // namespace

extern "C" {

int core_encoding(const std::uint8_t* text, std::size_t size) {
    const held_text held(text, size);
    return held.in != nullptr ? static_cast<int>(held.reader.encoding) : 0;
}

const char* core_cipher(int way, const std::uint8_t* text, std::size_t size, const char* key,
                        const char* name, int output, int words) {
    run_answer answer;
    held_text held(text, size);
    if (held.refused())
        return refuse(answer, about(nullptr, "", utf16_refused), name);
    letter_reader& reader = held.reader;
    std::array<std::int32_t, max_key_length> order{};
    std::string shown;
    const int n = take_key(answer, key, order, shown);
    if (n == 0) {
        const note said = answer.notes.back();
        answer.notes.pop_back();
        return refuse(answer, said, name);
    }
    const bool enciphering = way == 1;
    if (enciphering && n == 1)
        answer.notes.push_back(told("a key of one character leaves the letters in order"));

    const auto buffer = make_io_buffer(io_chunk_size);
    memory_output out;
    stream_summary summary;
    word_breaker breaker;
    const stream_extras extras = extras_for(output, words != 0 && !enciphering, summary, breaker);
    stream_fault fault;
    if (enciphering) {
        reader.yo_as_ye = true;
        fault = encipher_stream(reader, out.stream, order.data(), n, buffer.get(), io_chunk_size,
                                nullptr, extras);
    } else {
        fault = decipher_stream(reader, out.stream, order.data(), n, buffer.get(), io_chunk_size, 0,
                                extras);
    }
    out.keep();
    if (fault.failure != stream_failure::none)
        return refuse(answer, told("Cannot allocate memory"), name);
    if (summary.letters == 0) {
        note said = about(nullptr, "", "no letters");
        // decipher writes its empty output and warns; encipher refuses to.
        if (enciphering)
            return refuse(answer, said, name);
        said.kind = "warning";
        answer.notes.push_back(said);
    }
    note_skipped(answer, reader);
    if (!enciphering && summary.letters > 0) {
        const run_note off = plaintext_note(
            judge_plaintext(summary.start.data(), summary.start_size, order.data(), n));
        if (off.text != nullptr)
            answer.notes.push_back(told(off));
    }

    append_summary(answer.json, reader.encoding, extras.output.value_or(reader.encoding),
                   summary.letters);
    if (summary.letters > 0)
        append_table(answer.json, shown, order.data(), n, summary.start.data(), summary.start_size,
                     summary.letters);
    return finish(answer, true, name);
}

const char* core_crack(const std::uint8_t* text, std::size_t size, const char* crib, int shortest,
                       int longest, int top, const char* name, int output, int words) {
    run_answer answer;
    held_text held(text, size);
    if (held.refused())
        return refuse(answer, about(nullptr, "", utf16_refused), name);
    letter_reader& reader = held.reader;
    search_options options;
    for (int n = std::max(shortest, 1); n <= std::min(longest, max_key_length); ++n)
        options.lengths.push_back(n);
    options.top = static_cast<std::size_t>(std::clamp(top, 1, 100));
    const std::string crib_text = crib;
    if (!crib_text.empty()) {
        std::string windows_1251;
        std::string no_form;
        utf8_to_windows_1251(crib_text, windows_1251, no_form);
        if (!no_form.empty())
            return refuse(
                answer, about("crib \"%s\"", crib_text, "\"%s\" has no Windows-1251 form", no_form),
                name);
        options.cribs.push_back(crib_letters(
            reinterpret_cast<const std::uint8_t*>(windows_1251.data()), windows_1251.size()));
        if (options.cribs.back().empty())
            return refuse(answer, about("crib \"%s\"", crib_text, "no letters"), name);
    }
    const auto buffer = make_io_buffer(io_chunk_size);
    const std::size_t held_letters = read_letters(reader, buffer.get(), search_letters + 1);
    if (held_letters == 0)
        return refuse(answer, about(nullptr, "", "no letters"), name);
    const bool complete = held_letters <= search_letters;
    const auto found =
        find_keys(buffer.get(), std::min(held_letters, search_letters), complete, options);
    if (found.empty())
        return refuse(answer, about(nullptr, "", "no key gives a plaintext holding the crib"),
                      name);
    append_candidates(answer.json, found, buffer.get());
    note_verdict(answer, found, held_letters, !options.cribs.empty(),
                 shortest > 1 || longest < max_key_length, name);
    note_skipped(answer, reader);

    const key_candidate& best = found.front();
    memory_output out;
    stream_summary summary;
    word_breaker breaker;
    const stream_extras extras = extras_for(output, words != 0, summary, breaker);
    const stream_fault fault = decipher_stream(reader, out.stream, best.order.data(), best.n,
                                               buffer.get(), io_chunk_size, held_letters, extras);
    out.keep();
    if (fault.failure != stream_failure::none)
        return refuse(answer, told("Cannot allocate memory"), name);
    append_summary(answer.json, reader.encoding, extras.output.value_or(reader.encoding),
                   summary.letters);
    std::array<char, max_key_length + 1> key{};
    candidate_key_word(best, key.data());
    append_table(answer.json, key.data(), best.order.data(), best.n, summary.start.data(),
                 summary.start_size, summary.letters);
    return finish(answer, true, name);
}

const std::uint8_t* core_output() {
    return output_text.data();
}

std::size_t core_output_size() {
    return output_text.size();
}
}
