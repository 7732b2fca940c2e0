// Running a tool as a child process, the one part of the end-to-end test that differs by
// platform: child_process_posix.cpp and child_process_windows.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct child_setup {
    std::filesystem::path exe;
    std::vector<std::string> args;  // after the program's name
    std::filesystem::path dir;      // the working folder, which holds stdin, stdout and stderr
    bool stdin_closed = false;      // else standard input is dir/stdin
    bool stdout_full = false;       // else standard output is dir/stdout
    unsigned long file_limit = 0;   // the largest file the child may write, if not 0
    unsigned long memory_limit = 0; // the child's address space in bytes, if not 0
    // If not 0: standard input is a pipe that gets dir/stdin and is then held open, and once a
    // file whose name begins with signal_when holds signal_size bytes, the child gets this signal.
    int signal = 0;
    const char* signal_when = "tmp.";
    std::uintmax_t signal_size = 0;
    // If not 0, with no signal: standard input is such a pipe, held open this many seconds; a
    // child that has not ended by then is killed and counts as not ending.
    unsigned stdin_held = 0;
    bool as_other_user = false;   // run as an unprivileged user when the test runs as root
    const char* locale = nullptr; // LC_ALL for the child, if set
    // If not empty, "NAME=value" for the child in place of every locale variable, LC_ALL too.
    std::vector<std::string> language = {};
    std::filesystem::path stdin_path = {}; // if not empty, standard input instead of dir/stdin
    bool posix_only = false;               // the row names POSIX devices or files
};

// Runs the child to its end and returns its exit status, 128 + the signal that ended it, or -1
// when it did not end within the time limit.
int run_child(const child_setup& setup);

// Whether this platform can set up a row: "" when it can, else why not.
const char* cannot_set_up(bool fifo, bool symlink, bool dev_full, const child_setup& setup);

// The user and group as_other_user runs as, or -1 when the test does not run as root.
long other_user();
// Gives path to other_user(), when there is one.
void give_to_other_user(const std::filesystem::path& path);
// The owner of path, or -1 where that is not known.
long owner_of(const std::filesystem::path& path);

#ifndef _WIN32
// A named pipe at path that a writer process feeds content to once; wait_for_feeder tells
// whether it wrote it all.
void make_fifo(const std::filesystem::path& path);
int start_feeder(const std::filesystem::path& path, const std::string& content);
bool wait_for_feeder(int feeder);
// A reader process that copies what comes through the named pipe at path to the file `to`.
int start_drainer(const std::filesystem::path& path, const std::filesystem::path& to);
#endif
