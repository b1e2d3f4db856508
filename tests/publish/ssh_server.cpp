#include "tests/publish/ssh_server.h"

#include "tests/support/test_support.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace publish_testing {
namespace {

using testing_support::readBytes;
using testing_support::writeBytes;

// A port nobody listens on now. Another program may take it before sshd
// does; the caller tries again then.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

SshServer::SshServer() {
    const char* sshd = "/usr/sbin/sshd";
    if (::access(sshd, X_OK) != 0) {
        m_problem = "no /usr/sbin/sshd (package openssh-server; scripts/setup.sh --tests installs it)";
        return;
    }
    if (const passwd* pw = ::getpwuid(::geteuid())) m_user = pw->pw_name;
    for (const char* key : {"host_key", "user_key", "stranger_key"})
        if (!run("ssh-keygen -q -t ed25519 -N '' -C test -f '" + m_dir.str(key) + "' >/dev/null")) {
            m_problem = "ssh-keygen failed";
            return;
        }
    writeBytes(m_dir / "authorized_keys", readBytes(m_dir / "user_key.pub"));
    // sshd run by root separates privileges into this empty folder, which
    // the system's service would otherwise make.
    if (::geteuid() == 0) ::mkdir("/run/sshd", 0755);
    for (int attempt = 0; attempt < 5 && m_pid < 0; ++attempt) {
        m_port = freePort();
        writeBytes(m_dir / "sshd_config",
                   "ListenAddress 127.0.0.1\nPort " + std::to_string(m_port) + "\nHostKey " + m_dir.str("host_key") +
                       "\nPidFile none\nAuthorizedKeysFile " + m_dir.str("authorized_keys") +
                       "\nStrictModes no\nPasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\n"
                       "PermitRootLogin prohibit-password\nAllowUsers " + m_user +
                       "\nSubsystem sftp internal-sftp\nForceCommand internal-sftp\nLogLevel ERROR\n");
        const std::string config = m_dir.str("sshd_config");
        const std::string log = m_dir.str("sshd.log");
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            ::execl(sshd, sshd, "-D", "-e", "-f", config.c_str(), "-E", log.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Bounded wait until it listens, or gives up (the port was taken).
        bool exited = false;
        const bool listening = testing_support::waitUntil(
            [&] {
                int status = 0;
                exited = exited || ::waitpid(pid, &status, WNOHANG) == pid;
                return exited || accepts(m_port);
            },
            std::chrono::seconds(5));
        if (listening && !exited) m_pid = pid;
        if (m_pid < 0) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            m_problem = "sshd did not start: " + readBytes(m_dir / "sshd.log");
        }
    }
    if (m_pid < 0) return;
    m_problem.clear();
    const std::string pub = readBytes(m_dir / "host_key.pub");
    m_knownHostsLine = "[127.0.0.1]:" + std::to_string(m_port) + " " + pub.substr(0, pub.rfind(' ')) + "\n";
}

SshServer::~SshServer() {
    if (m_pid < 0) return;
    // The whole group: the listener and the sessions it forked.
    ::kill(-m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
    ::kill(-m_pid, SIGKILL);
}

std::string SshServer::target(const std::string& folder, const std::string& key) const {
    return ":sftp,host=127.0.0.1,port=" + std::to_string(m_port) + ",user=" + m_user + ",key_file=" + key + ":" +
           folder;
}

}  // namespace publish_testing
