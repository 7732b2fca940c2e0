#include "app/tool.hpp"

#include "app/file_checks.hpp"
#include "app/key_line.hpp"
#include "app/messages.hpp"
#include "app/platform.hpp"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <new>

namespace {

int run_checked(run_context& context, const tool_interface& tool, run_function run, int argc,
                char** argv) {
    try {
        guard_standard_streams();
        // Once, for the key's character set and the console's.
        const char* locale = std::setlocale(LC_CTYPE, "");
        context.set_c_locale(locale == nullptr || std::strcmp(locale, "C") == 0 ||
                             std::strcmp(locale, "POSIX") == 0);
        use_message_language(user_message_language());
        run_request request = parse_command_line(tool, argc, command_line_arguments(argc, argv));
        if (!request.status)
            refuse_text_without_key(tool, request);
        if (request.status) {
            write_message(stdout, {request.output.c_str()});
            context.say_formed(request.message.c_str());
            return *request.status == 0 ? context.finish(0) : *request.status;
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

} // namespace

int run_guarded(const tool_interface& tool, run_function run, int argc, char** argv) {
    run_context context(tool.program);
    const int status = run_checked(context, tool, run, argc, argv);
    if (console_of_its_own()) {
        // Else the window would close before anyone read the order line or a message.
        context.say(tr("press Enter to close this window"));
        wait_for_enter();
    }
    return status;
}
