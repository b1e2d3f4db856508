// A write of the program's own settings that fails (a read-only folder, a
// full disk) must not lose the user's choices without a word. Every failed
// write into the settings folder is noted here; the first one of a process
// is handed to the handler the host installed (the window shows a message
// box, the terminal commands print a line), once.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace mirofoto {

struct SettingsWriteFailure {
    std::string path;    ///< the file or folder that could not be written
    std::string reason;  ///< why, in words ("書き込む権限がありません")
};

/// Called at most once per process, on the thread of the first failed write
/// (a worker thread may write ticks too: a window must queue to its own
/// thread before it shows anything).
void setSettingsWriteFailureHandler(std::function<void(const SettingsWriteFailure&)> handler);

/// The first failed write of this process, if any.
std::optional<SettingsWriteFailure> firstSettingsWriteFailure();

/// Notes a failed write of file: works out the reason from the file system
/// and errorNumber (the errno of the failure, 0 when unknown) and calls the
/// handler when this is the first failure.
void noteSettingsWriteFailure(std::string_view file, int errorNumber);
/// Notes a failure already worked out (settingsFolderProblem() at start),
/// as it stands; it counts as the first when there was none.
void noteSettingsWriteFailure(const SettingsWriteFailure& failure);

/// Why the settings folder cannot take a write now, judged without writing
/// (a missing folder counts when it could be made); nothing when it can.
std::optional<SettingsWriteFailure> settingsFolderProblem();

/// The text that tells the user, with single CR line breaks.
std::string settingsWriteFailureMessage(const SettingsWriteFailure& failure);

/// Forgets the first failure (tests).
void resetSettingsWriteFailures();

/// For the terminal commands: while it lives, a settings folder that cannot
/// take a write (checked at once) or a failed settings write is told on
/// err, once, as "mirofoto: " and the message.
class TerminalSettingsReport {
public:
    explicit TerminalSettingsReport(std::ostream& err);
    ~TerminalSettingsReport();
    TerminalSettingsReport(const TerminalSettingsReport&) = delete;
    TerminalSettingsReport& operator=(const TerminalSettingsReport&) = delete;
    /// Whether it has told something.
    bool told() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

}  // namespace mirofoto
