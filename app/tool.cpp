#include "app/tool.hpp"

#include "app/file_checks.hpp"
#include "app/key_line.hpp"
#include "app/message_format.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <new>

int run_guarded(const tool_interface& tool, run_function run, int argc, char** argv) {
    run_context context(tool.program);
    try {
        guard_standard_streams();
        // Once, for the key's character set and the console's.
        const char* locale = std::setlocale(LC_CTYPE, "");
        context.set_c_locale(locale == nullptr || std::strcmp(locale, "C") == 0 ||
                             std::strcmp(locale, "POSIX") == 0);
        use_message_language(user_message_language());
        run_request request = parse_command_line(tool, argc, command_line_arguments(argc, argv));
        if (request.status < 0)
            refuse_text_without_key(tool, request);
        if (request.status >= 0) {
            write_message(stdout, {request.output.c_str()});
            write_message(stderr, {request.message.c_str()});
            return request.status == 0 ? context.finish(0) : request.status;
        }
        context.set_console_for(request.output_name);
        // A key that cannot be taken is refused before any file is touched.
        if (request.key != nullptr &&
            !take_argument_text(context, tr("key"), request.key, request.key_windows_1251))
            return context.finish(1);
        return run(context, request);
    } catch (const std::bad_alloc&) {
        // Unwound: whatever file the run was making is gone by now.
        context.say(std::strerror(ENOMEM));
        return 1;
    }
}

int stream_status(run_context& run, stream_fault fault, const char* in_name, std::FILE* out,
                  const char* out_name) {
    switch (fault) {
    case stream_fault::none: return 0;
    case stream_fault::read: run.report_errno(shown_input_name(in_name), errno); break;
    case stream_fault::write:
        run.report_errno(shown_output_name(out_name), write_failure(out, errno));
        break;
    }
    return 1;
}

namespace {

std::optional<text_encoding> chosen_encoding(const run_request& request) {
    switch (request.encoding) {
    case output_encoding::utf8: return text_encoding::utf8;
    case output_encoding::windows_1251: return text_encoding::windows_1251;
    case output_encoding::as_input: break;
    }
    return std::nullopt;
}

} // namespace

stream_extras extras_for(const run_request& request, std::FILE* in) {
    stream_extras extras;
    extras.output = chosen_encoding(request);
    extras.reads_wait = identify(in).kind != file_identity::regular;
    return extras;
}

int finish_run(run_context& run, std::FILE* in, int status) {
    close_text(in);
    return run.finish(status);
}

int finish_run(run_context& run, std::FILE* in, output_file& out, const char* out_name,
               int status) {
    if (out.replacing() && status == 0)
        if (const int error = run.flush_standard_output(); error != 0) {
            run.report_errno(tr("standard output"), error);
            status = 1;
        }
    if (status != 0 && out.replacing()) {
        out.discard();
        return finish_run(run, in, status);
    }
    // A full disk may only show when the last buffered letters go out.
    bool owner_only = false;
    if (!out.finish(owner_only) && status == 0) {
        const int error = write_failure(nullptr, errno);
        if (owner_only)
            run.report(
                out_name,
                message_format(tr("%s (the folder allows only the file's owner to replace it)"),
                               std::strerror(error))
                    .c_str());
        else
            run.report_errno(out_name, error);
        status = 1;
    }
    return finish_run(run, in, status);
}
