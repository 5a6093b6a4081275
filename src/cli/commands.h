#pragma once
// The headless front end: batch work over the same document and reader as the program.
#include <iosfwd>
#include <string>
#include <vector>

namespace kivra::cli {

// Runs one command line (without the program name). Returns the process exit status:
// 0 done, 1 the work failed (a message went to err), 2 the command line was wrong.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kivra::cli
