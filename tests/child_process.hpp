// Running a tool as a child process, the one part of the end-to-end test that differs by
// platform: child_process_posix.cpp and child_process_windows.cpp.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct child_setup {
    std::filesystem::path exe;
    std::vector<std::string> args; // after the program's name
    std::filesystem::path dir;     // the working folder, which holds stdin, stdout and stderr
    bool stdin_closed = false;     // else standard input is dir/stdin
    bool stdout_full = false;      // else standard output is dir/stdout
    unsigned long file_limit = 0;  // the largest file the child may write, if not 0
};

// Runs the child to its end and returns its exit status, or -1 when it did not exit (killed,
// or past the time limit).
int run_child(const child_setup& setup);

// Whether this platform can set up a row: "" when it can, else why not.
const char* cannot_set_up(bool fifo, bool symlink, bool dev_full, const child_setup& setup);

#ifndef _WIN32
// A named pipe at path that a writer process feeds content to once; wait_for_feeder tells
// whether it wrote it all.
void make_fifo(const std::filesystem::path& path);
int start_feeder(const std::filesystem::path& path, const std::string& content);
bool wait_for_feeder(int feeder);
#endif
