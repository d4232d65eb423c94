#pragma once
// corvane-cli: lists the frames of an AC-3 or E-AC-3 elementary stream, prints the syntax tree
// of one frame, or tells what kind of stream a file holds, through the viewer core.

#include <cstdio>
#include <string>
#include <vector>

namespace corvane::cli {

// Runs the program with the arguments that follow the program name (UTF-8) and returns its exit
// status: 0 done, 1 the file is not a stream (detect: none), 2 bad usage, a file that cannot
// be read or output that cannot be written.
int RunCli(const std::vector<std::string>& Args, std::FILE* Out, std::FILE* Err);

}  // namespace corvane::cli
