// A real OpenSSH server for one test: sshd on a free port of 127.0.0.1 with
// host and user keys made for it, its own configuration, serving SFTP as the
// user running the test; stopped when the object goes.
#pragma once

#include "tests/support/test_support.h"

#include <string>
#include <sys/types.h>

namespace publish_testing {

class SshServer {
public:
    SshServer();
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    /// Empty when the server runs; else why it does not.
    const std::string& problem() const { return m_problem; }
    int port() const { return m_port; }
    std::string user() const { return m_user; }
    /// The private key the server accepts, and one it does not.
    std::string userKey() const { return m_dir.str("user_key"); }
    std::string strangerKey() const { return m_dir.str("stranger_key"); }
    /// The line for a known_hosts file that vouches for this server.
    std::string knownHostsLine() const { return m_knownHostsLine; }
    /// An inline rclone target for the folder on this server, with the key.
    std::string target(const std::string& folder, const std::string& key) const;

private:
    testing_support::TempDir m_dir;
    std::string m_user;
    std::string m_knownHostsLine;
    std::string m_problem;
    int m_port = 0;
    pid_t m_pid = -1;
};

}  // namespace publish_testing
