// The file a run writes, owned, and the end of a run with it: written in place, or made beside
// the old one and put in its place only when whole. What is not finished is taken back when the
// owner goes, so an early return or an allocation failure leaves no new file behind.
#pragma once

#include "app/platform.hpp"
#include "app/run_context.hpp"

#include <cstdio>
#include <string>

// Whether name is written through a descriptor already open, as "-" is: /dev/stdout, for
// one, is standard output itself, never a file to empty or put a new one in the place of.
bool written_through(const char* name);

class output_file {
  public:
    output_file() = default;
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    ~output_file();

    // Standard output for "-", the descriptor itself for a name written_through, else name
    // opened for writing without emptying it. False and errno on failure.
    bool open_in_place(const char* name);
    // A new file beside name, to take its place on finish. False and errno on failure.
    bool open_replacing(const char* name);

    std::FILE* stream() const { return file_; }
    bool replacing() const { return !temp_name_.empty(); }
    // Whether it writes through a descriptor already open, which is never emptied.
    bool through() const { return through_; }

    // Closes the file, standard output excepted; a replacing one is first made durable and put
    // in place, or removed when it cannot be.
    close_failure finish();

    // Closes the file; a replacing one is removed, the old file staying as it was.
    void discard();

  private:
    std::FILE* file_ = nullptr;
    bool through_ = false;
    std::string temp_name_; // of the new file, while replacing
    std::string target_;    // the name it is to take
};

// Closes in (standard input excepted) and finishes out: a file written in place is closed, a
// replacing one put in place when status is 0 and discarded otherwise; standard output is
// checked first, so that a run that reports a failure changes nothing. A failure the run has
// not reported yet is reported, and turns a status of 0 into 1. Returns the status.
int finish_run(run_context& run, std::FILE* in, output_file& out, const char* out_name, int status);
int finish_run(run_context& run, std::FILE* in, int status);
