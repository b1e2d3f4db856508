#include "app/settings/settings_write_report.h"

#include "app/util/storage_location.h"
#include "platform/ini.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <mutex>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace mirofoto {
namespace {

std::mutex g_mutex;
std::function<void(const SettingsWriteFailure&)> g_handler;
std::optional<SettingsWriteFailure> g_first;

std::string errorText(int error) {
    switch (error) {
    case ENOSPC: return "ディスクに空きがありません";
    case EDQUOT: return "ディスクの使用量の上限を超えています";
    case EROFS: return "読み取り専用のファイルシステムです";
    case EACCES:
    case EPERM: return "書き込む権限がありません";
    case ENOENT:
    case ENOTDIR: return "フォルダがありません";
    case 0: return "書き込めませんでした";
    default: return std::strerror(error);
    }
}

// What keeps a write into folder from succeeding, seen from the file system:
// a file in a folder's place, a missing folder that may not be made here or
// cannot be made for want of rights, a folder the user may not write.
std::optional<SettingsWriteFailure> folderProblem(const fs::path& folder, bool mayCreate) {
    std::error_code ec;
    fs::path existing = folder;
    while (!existing.empty() && !fs::exists(fs::symlink_status(existing, ec)) && existing != existing.root_path())
        existing = existing.parent_path();
    const std::string name = existing.string();
    if (!fs::is_directory(existing, ec)) return SettingsWriteFailure{name, "フォルダではありません"};
    if (existing != folder && !mayCreate)
        return SettingsWriteFailure{folder.string(), "フォルダがありません"};
    if (::access(name.c_str(), W_OK | X_OK) != 0) {
        const int error = errno;
        return SettingsWriteFailure{name, error == EROFS ? errorText(EROFS)
                                          : existing == folder ? "フォルダに書き込む権限がありません"
                                                               : "フォルダを作成する権限がありません"};
    }
    return std::nullopt;
}

// Whether the file (a link followed) starts as a JPEG picture: a settings
// file linked to a photograph, which the INI engine never writes into.
bool startsAsPicture(const fs::path& file) {
    // Without waiting: a FIFO in the file's place must not hold us up.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    char head[2] = {};
    const bool jpeg = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::read(fd, head, 2) == 2 &&
                      platform::startsAsJpeg({head, 2});
    ::close(fd);
    return jpeg;
}

// A trailing "/" would make parent_path() the folder itself.
fs::path folderPath(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    return fs::path(f);
}

}  // namespace

void setSettingsWriteFailureHandler(std::function<void(const SettingsWriteFailure&)> handler) {
    std::lock_guard lock(g_mutex);
    g_handler = std::move(handler);
}

std::optional<SettingsWriteFailure> firstSettingsWriteFailure() {
    std::lock_guard lock(g_mutex);
    return g_first;
}

void noteSettingsWriteFailure(std::string_view file, int errorNumber) {
    const fs::path path{std::string(file)};
    SettingsWriteFailure failure;
    if (startsAsPicture(path)) {
        failure = {std::string(file), "JPEG画像のファイルです。設定は書き込みません"};
    } else if (auto problem = folderProblem(path.parent_path(), true)) {
        failure = std::move(*problem);
        if (failure.path != path.parent_path().string()) failure.reason = failure.path + ": " + failure.reason;
        failure.path = std::string(file);
    } else if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
        failure = {std::string(file), "ファイルが読み取り専用です"};
    } else {
        failure = {std::string(file), errorText(errorNumber)};
    }
    noteSettingsWriteFailure(failure);
}

void noteSettingsWriteFailure(const SettingsWriteFailure& failure) {
    std::function<void(const SettingsWriteFailure&)> handler;
    {
        std::lock_guard lock(g_mutex);
        if (g_first) return;
        g_first = failure;
        handler = g_handler;
    }
    if (handler) handler(failure);
}

std::optional<SettingsWriteFailure> settingsFolderProblem() {
    const StorageLocation at = storageLocation();
    return folderProblem(folderPath(at.settingsFolder), at.reason == StorageReason::UserFolders);
}

std::string settingsWriteFailureMessage(const SettingsWriteFailure& failure) {
    return "設定を保存できません。\r「" + failure.path + "」に書き込めません（" + failure.reason +
           "）。\r変更した設定は保持されません。";
}

void resetSettingsWriteFailures() {
    std::lock_guard lock(g_mutex);
    g_first.reset();
}

struct TerminalSettingsReport::Shared {
    std::mutex mutex;
    std::ostream* err = nullptr;  // null once the report is gone
    bool told = false;

    void tell(const SettingsWriteFailure& failure) {
        std::lock_guard lock(mutex);
        if (!err || told) return;
        told = true;
        std::string text = settingsWriteFailureMessage(failure);
        for (char& c : text)
            if (c == '\r') c = '\n';
        *err << "mirofoto: " << text << "\n" << std::flush;
    }
};

TerminalSettingsReport::TerminalSettingsReport(std::ostream& err) : m_shared(std::make_shared<Shared>()) {
    m_shared->err = &err;
    if (const auto problem = settingsFolderProblem()) m_shared->tell(*problem);
    setSettingsWriteFailureHandler([shared = m_shared](const SettingsWriteFailure& f) { shared->tell(f); });
}

bool TerminalSettingsReport::told() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->told;
}

TerminalSettingsReport::~TerminalSettingsReport() {
    setSettingsWriteFailureHandler(nullptr);
    std::lock_guard lock(m_shared->mutex);
    m_shared->err = nullptr;
}

}  // namespace mirofoto
