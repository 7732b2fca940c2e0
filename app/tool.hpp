// A tool's whole run, from the command line to the exit status.
#pragma once

#include "app/command_line.hpp"
#include "app/run_context.hpp"

// A tool's run, given what its command line asks for.
using run_function = int (*)(run_context& run, const run_request& request);

// Guards the standard streams, sets the locale, parses the command line and hands what it asks
// for to run. An allocation failure ends the run with "PROG: Cannot allocate memory" and status
// 1, a new file not yet in place removed on the way.
int run_guarded(const tool_interface& tool, run_function run, int argc, char** argv);
