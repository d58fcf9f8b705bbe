#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vistrel {

// Exit statuses of the command-line tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitInput = 2;        // a file or an input line could not be used
inline constexpr int kExitComputation = 3;  // a calibration or measurement failed
inline constexpr int kExitAmbiguous = 4;    // find-control: a photograph fits two assignments

// Runs `vistrel-cli` with its arguments (without the program name). `in` serves "-" as the
// observations file. Returns the exit status. What goes to `err` is in the system's language
// (SystemLanguage); what goes to `out` never depends on it.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

}  // namespace vistrel
