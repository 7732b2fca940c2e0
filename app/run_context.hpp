// What one run of a tool carries from start to end: its name for messages, where the prompt and
// the order line go, and the first failure of standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

class run_context {
  public:
    explicit run_context(const char* program) : program_(program) {}

    const char* program() const { return program_; }

    // Whether the locale is C or POSIX, or could not be set: its character set tells nothing.
    bool c_locale() const { return c_locale_; }
    void set_c_locale(bool c_locale) { c_locale_ = c_locale; }

    // Where the prompt, the order line and crack's candidates go: standard output, or standard
    // error once standard output carries the text.
    std::FILE* console() const { return console_; }
    void set_console_for(const char* output_name);

    // "program: what: reason" on standard error.
    void report(const char* what, const char* reason) const;
    void report_errno(const char* what, int error) const;
    // "program: what: reason (note)".
    void report_errno(const char* what, int error, const char* note) const;
    // "program: message" on standard error; the message in parts, so that one naming a file
    // needs no memory.
    void say(const char* message) const;
    void say(std::initializer_list<const char*> parts) const;
    // "program: message" and Windows-1251 text[0, size) as the console shows it.
    void say(const char* message, const std::uint8_t* text, std::size_t size) const;
    // A message the command line has formed whole, program name and line breaks included.
    void say_formed(const char* message) const;

    // Flushes standard output, keeping the reason of its first failure. Returns that reason, or
    // 0 while it has taken everything.
    int flush_standard_output();

    // The end of every run: flushes standard output, and a failure of it that the run has not
    // reported yet is reported and turns a status of 0 into 1. Returns the status.
    int finish(int status);

  private:
    const char* program_;
    std::FILE* console_ = stdout;
    int standard_output_error_ = 0;
    bool c_locale_ = false;
};
