// "mirofoto tick": shows and changes which albums and pictures of an image
// folder take part, through the same per-folder settings the windows keep,
// so scripts (and a user without a display) can choose what the next
// "mirofoto generate" makes.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mirofoto {

/// Exit codes of the command.
enum TickExit : int {
    kTickDone = 0,
    kTickNotStored = 1,  ///< the setting could not be written (the message says where and why)
    kTickUsage = 2,      ///< bad arguments, or no such album or picture
};

/// Runs the command with its arguments (those after "tick").
int runTickCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// The command's help text.
std::string tickHelp();

}  // namespace mirofoto
