// rclone run as a program: its arguments, its standard output gathered, its
// log lines handed over one by one as they come, a stop that ends it, and
// no rclone left running when we are gone.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mirofoto::publish {

/// The rclone program: MIROFOTO_RCLONE when set, else "rclone" on PATH.
/// Empty when there is none.
std::string findRclone();

struct ProcessOutcome {
    bool started = false;  ///< false: the program could not be run (why says so)
    bool stopped = false;  ///< ended because stop() said so
    int exitCode = -1;     ///< the exit status; -1 when ended by a signal
    std::string output;    ///< all of standard output
    std::string why;
};

/// Runs the program with the arguments and waits for it. Each line it
/// writes to standard error goes to onLine (on the calling thread). stop is
/// asked every tenth of a second; when it says yes the program's process
/// group gets SIGTERM, and SIGKILL five seconds later. The child is in a
/// process group of its own, gets SIGKILL when the calling thread ends
/// (a killed program never leaves it running), reads input on its standard
/// input (a few kilobytes at most; nothing by default) and inherits no
/// other open file.
ProcessOutcome runProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::function<void(const std::string&)>& onLine,
                          const std::function<bool()>& stop, const std::string& input = {});

}  // namespace mirofoto::publish
