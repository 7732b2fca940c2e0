#include "app/run_context.hpp"

#include "app/messages.hpp"
#include "app/platform.hpp"

#include <cerrno>
#include <cstring>

void run_context::set_console_for(const char* output_name) {
    // A name of standard output carries the text as "-" does.
    console_ =
        std::strcmp(output_name, "-") == 0 || named_descriptor(output_name) == 1 ? stderr : stdout;
}

void run_context::report(const char* what, const char* reason) const {
    write_message(stderr, {program_, ": ", what, ": ", reason, "\n"});
}

void run_context::report_errno(const char* what, int error) const {
    report(what, std::strerror(error));
}

void run_context::report_errno(const char* what, int error, const char* note) const {
    write_message(stderr, {program_, ": ", what, ": ", std::strerror(error), " (", note, ")\n"});
}

void run_context::say(const char* message) const {
    write_message(stderr, {program_, ": ", message, "\n"});
}

void run_context::say(std::initializer_list<const char*> parts) const {
    write_message(stderr, {program_, ": "});
    write_message(stderr, parts);
    write_message(stderr, {"\n"});
}

void run_context::say(const char* message, const std::uint8_t* text, std::size_t size) const {
    write_message(stderr, {program_, ": ", message});
    write_windows_1251(stderr, text, size);
    write_message(stderr, {"\n"});
}

void run_context::say_formed(const char* message) const {
    write_message(stderr, {message});
}

int run_context::flush_standard_output() {
    // errno still holds the reason when an earlier flush of the same text failed.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && standard_output_error_ == 0)
        standard_output_error_ = errno != 0 ? write_failure(stdout, errno) : EIO;
    return standard_output_error_;
}

int run_context::finish(int status) {
    flush_standard_output();
    if (standard_output_error_ != 0 && status == 0) {
        report_errno(tr("standard output"), standard_output_error_);
        status = 1;
    }
    return status;
}
