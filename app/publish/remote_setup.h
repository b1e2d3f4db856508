// Setting up a target for users without a terminal: the values of a small
// dialog become a remote of the user's own rclone configuration through
// "rclone config create", so that a password lands obscured in rclone's
// configuration and never in ours.
#pragma once

#include <string>
#include <vector>

namespace mirofoto::publish {

struct RemoteSetup {
    std::string name;      ///< the remote's name in rclone's configuration
    std::string type;      ///< "sftp", "ftp" or "webdav"
    std::string host;      ///< host name (sftp, ftp) or the URL (webdav)
    std::string port;      ///< empty: the type's own
    std::string user;
    std::string password;  ///< empty: none (an SSH key or agent for sftp)
    std::string keyFile;   ///< sftp: the private key file; empty: the agent or default keys
    std::string folder;    ///< the album's folder on the server
};

/// The types the dialog offers, in its order.
inline const std::vector<std::string> kSetupTypes{"sftp", "ftp", "webdav"};

/// Why the values cannot make a remote; empty when they can.
std::string remoteSetupProblem(const RemoteSetup& setup);

/// The target the remote gives: "name:folder".
std::string setupTarget(const RemoteSetup& setup);

/// The arguments of "rclone config create" (after "rclone"), with the
/// password already obscured by rclone itself.
std::vector<std::string> configCreateArgs(const RemoteSetup& setup, const std::string& obscuredPassword);

/// Makes the remote (replacing one of the same name). The password goes to
/// rclone on its standard input to be obscured, never on a command line in
/// the clear. False with *error saying why (in Japanese) otherwise.
bool createRemote(const RemoteSetup& setup, std::string* error);

}  // namespace mirofoto::publish
