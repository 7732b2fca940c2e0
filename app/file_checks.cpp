#include "app/file_checks.hpp"

#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"

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

text_check open_text(run_context& run, const char* name, std::FILE*& in, letter_reader& reader,
                     int& open_error) {
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

namespace {

void say_same_file(const run_context& run, const char* in_name, const char* out_name) {
    run.say(message_format(tr("%s and %s are the same file"), shown_input_name(in_name),
                           shown_output_name(out_name))
                .c_str());
}

} // namespace

bool refuse_same_file(run_context& run, std::FILE* in, const char* in_name, const char* out_name) {
    const file_identity out =
        std::strcmp(out_name, "-") == 0 ? identify(stdout) : identify(out_name);
    if (!same_file(identify(in), out))
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
    if (out.stream() != stdout && !empty_file(out.stream())) {
        run.report_errno(out_name, errno);
        out.discard();
        return false;
    }
    return true;
}

bool open_destination(run_context& run, std::FILE* in, const char* in_name, const char* out_name,
                      output_file& out) {
    if (std::strcmp(out_name, "-") == 0)
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
