#include "app/file_checks.hpp"

#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"
#include "app/stream_run.hpp"

#include <cerrno>
#include <cstring>

bool names_standard_input(const char* name) {
    return std::strcmp(name, "-") == 0 || same_object(identify(name), identify(stdin));
}

bool refuse_text_without_key(const tool_interface& tool, run_request& request) {
    if (!tool.takes_key || request.key != nullptr || !names_standard_input(request.input_name))
        return false;
    request.status = 2;
    request.message = std::string(tool.program) + ": " +
                      tr("the text comes from standard input, so the key must come with -k") +
                      "\n" + usage(tool);
    return true;
}

namespace {

file_identity output_identity(const char* out_name) {
    return std::strcmp(out_name, "-") == 0 ? identify(stdout) : identify(out_name);
}

void say_same_file(const run_context& run, const char* in_name, const char* out_name) {
    run.say(message_format(tr("%s and %s are the same file"), shown_input_name(in_name),
                           shown_output_name(out_name))
                .c_str());
}

} // namespace

text_check open_text(run_context& run, const char* name, const char* out_name, std::FILE*& in,
                     letter_reader& reader, int& open_error) {
    // Told by the names alone: opening the pipe would wait for a writer, whose first bytes
    // would then be read for nothing.
    if (std::strcmp(name, "-") != 0) {
        const file_identity text = identify(name);
        if (text.kind == file_identity::fifo && same_file(text, output_identity(out_name))) {
            say_same_file(run, name, out_name);
            return text_check::refused;
        }
    }
    in = std::strcmp(name, "-") == 0 ? stdin : open_file(name, "rb");
    if (in == nullptr) {
        open_error = open_failure(name, errno);
        // A directory is there, but some systems will not open it at all.
        if (open_error != EISDIR)
            return text_check::missing;
    } else if (identify(in).kind != file_identity::directory) {
        reader = make_letter_reader(in);
        read_byte_order_mark(reader);
        // Reported here, while errno still holds the reason: the key's conversion comes next.
        if (reader_failed(reader)) {
            run.report_errno(shown_input_name(name), errno);
            return text_check::refused;
        }
        if (reader.encoding != text_encoding::utf16)
            return text_check::ready;
        run.report(shown_input_name(name), tr("UTF-16 text; save it as UTF-8 or Windows-1251"));
        return text_check::refused;
    }
    run.report_errno(shown_input_name(name), EISDIR);
    return text_check::refused;
}

void close_text(std::FILE* in) {
    if (in != nullptr && in != stdin)
        std::fclose(in);
}

std::optional<int> open_run_text(run_context& run, const run_request& request, std::FILE*& in,
                                 letter_reader& reader, missing_text missing) {
    int open_error = 0;
    switch (open_text(run, request.input_name, request.output_name, in, reader, open_error)) {
    case text_check::ready: read_as_asked(request, reader); return std::nullopt;
    case text_check::refused: break;
    case text_check::missing:
        if (missing != nullptr)
            return missing(run, request, open_error);
        run.report_errno(request.input_name, open_error);
        break;
    }
    return finish_run(run, in, 1);
}

bool refuse_same_file(run_context& run, std::FILE* in, const char* in_name, const char* out_name) {
    if (!same_file(identify(in), output_identity(out_name)))
        return false;
    say_same_file(run, in_name, out_name);
    return true;
}

bool open_output_apart(run_context& run, std::FILE* in, const char* in_name, const char* out_name,
                       output_file& out) {
    if (!out.open_in_place(out_name)) {
        run.report_errno(out_name, open_failure(out_name, errno));
        return false;
    }
    // Checked on the open file, so a name that only now leads to it is caught too.
    if (same_file(identify(in), identify(out.stream()))) {
        say_same_file(run, in_name, out_name);
        out.discard();
        return false;
    }
    if (!out.through() && !empty_file(out.stream())) {
        run.report_errno(out_name, errno);
        out.discard();
        return false;
    }
    return true;
}

bool open_destination(run_context& run, std::FILE* in, const char* in_name, const char* out_name,
                      output_file& out) {
    if (written_through(out_name))
        return open_output_apart(run, in, in_name, out_name, out);
    if (refuse_same_file(run, in, in_name, out_name))
        return false;
    const file_kind kind = kind_of(out_name);
    if (kind == file_kind::directory) {
        run.report_errno(out_name, EISDIR);
        return false;
    }
    if (kind == file_kind::regular)
        if (const int error = refuses_replacement(out_name); error != 0) {
            run.report_errno(out_name, error);
            return false;
        }
    const bool opened =
        kind == file_kind::special ? out.open_in_place(out_name) : out.open_replacing(out_name);
    if (!opened)
        run.report_errno(out_name, open_failure(out_name, errno));
    return opened;
}
