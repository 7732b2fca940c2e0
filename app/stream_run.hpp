// The block loops as a tool runs them: what they are told of the run, and what their fault says.
#pragma once

#include "app/command_line.hpp"
#include "app/run_context.hpp"
#include "cipher/text_stream.hpp"

#include <cstdio>

// 0 for a block loop that went through, else 1 after naming the file that failed and why.
int stream_status(run_context& run, stream_fault fault, const char* in_name, std::FILE* out,
                  const char* out_name);

// What the block loops are to know of a run: the encoding -e asks the output in (empty for the
// input's), and whether in is a file, whose reads never wait.
stream_extras extras_for(const run_request& request, std::FILE* in);
