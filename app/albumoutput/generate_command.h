// "mirofoto generate": the album run from the shell, with the stored choices
// of an image folder and the album settings of the last run (or of an album
// settings file).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mirofoto {

/// Exit codes of the command.
enum GenerateExit : int {
    kGenerateDone = 0,        ///< the album was made
    kGenerateStopped = 1,     ///< the run stopped (its message says why)
    kGenerateUsage = 2,       ///< bad arguments
    kGenerateIncomplete = 3,  ///< the album was made, but some pictures or pages were not
};

/// Runs the command with its arguments (those after "generate"). Questions
/// are asked on in/out when interactive; without a terminal a question that
/// decides what happens to files stops the run with a clear message.
int runGenerateCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                       bool interactive);

/// The command's help text.
std::string generateHelp();

}  // namespace mirofoto
