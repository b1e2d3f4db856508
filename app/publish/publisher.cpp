#include "app/publish/publisher.h"

#include "app/albumoutput/album_run_checks.h"
#include "app/publish/publish_target.h"
#include "app/publish/rclone_process.h"
#include "app/util/paths.h"
#include "platform/atomic_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <unistd.h>

namespace mirofoto::publish {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

bool contains(const std::string& text, std::string_view part) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(part) != std::string::npos;
}

// What every rclone run gets: JSON log lines to read, statistics each
// second, no question on a terminal, short waits for a host that does not
// answer, and SSH host keys checked against the user's known hosts.
std::vector<std::string> commonFlags() {
    return {"--use-json-log", "-v", "--stats", "1s", "--retries", "1", "--low-level-retries", "3",
            "--contimeout", "15s", "--timeout", "1m", "--ask-password=false", "--sftp-known-hosts-file",
            knownHostsFile()};
}

// rclone's words that count: error lines and anything not in JSON (a fatal
// error before logging starts is plain text).
struct LogReader {
    std::vector<std::string> confirmed;  ///< objects copied or deleted
    std::vector<std::pair<std::string, std::string>> failed;
    std::string errors;
    std::uint64_t bytes = 0;
    std::uint64_t transfers = 0;
    std::function<void()> onChange;

    void line(const std::string& text) {
        if (text.empty()) return;
        json j = json::parse(text, nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            errors += text + "\n";
            return;
        }
        const std::string level = j.value("level", "");
        const std::string msg = j.value("msg", "");
        const std::string object = j.contains("object") && j["object"].is_string() ? j["object"].get<std::string>() : "";
        if (j.contains("stats") && j["stats"].is_object()) {
            bytes = j["stats"].value("bytes", std::uint64_t{0});
            transfers = j["stats"].value("transfers", std::uint64_t{0});
        } else if (level == "info" && !object.empty() && (msg.starts_with("Copied") || msg == "Deleted")) {
            confirmed.push_back(object);
        } else if (level == "error" || level == "critical") {
            if (!object.empty()) failed.emplace_back(object, msg);
            errors += msg + "\n";
        }
        if (onChange) onChange();
    }
};

// The list of files for --files-from-raw, written beside the manifest.
class ListFile {
public:
    ListFile(const std::string& manifest, const std::vector<std::string>& paths) {
        m_path = fs::path(manifest).parent_path().string() + "/" + platform::newTemporaryName();
        std::string text;
        for (const std::string& p : paths) text += p + "\n";
        m_ok = platform::writeFileAtomically(m_path, text);
    }
    ~ListFile() {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    bool ok() const { return m_ok; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_ok = false;
};

class Publish {
public:
    Publish(const PublishRequest& request, PublishObserver& observer) : m_request(request), m_observer(observer) {}

    PublishResult run() {
        if (std::string why = targetProblem(m_request.target); !why.empty()) return fail(why);
        std::error_code ec;
        if (!fs::is_directory(m_request.outputFolder, ec))
            return fail("出力フォルダがありません: " + m_request.outputFolder);
        m_output = withTrailingSlash(m_request.outputFolder);
        m_rclone = findRclone();
        if (m_rclone.empty()) return fail(rcloneMissingMessage());
        bool busy = false;
        std::error_code lockError;
        OutputFolderLock lock = OutputFolderLock::acquire(m_output, busy, lockError);
        if (!lock.held())
            return fail(busy ? "このフォルダには別のアルバム作成か公開が実行中です。終わってからもう一度公開してください。"
                             : "出力フォルダをロックできません: " + lockError.message());

        std::vector<std::string> skipped;
        const FileMap local = listOutputFolder(m_output, &skipped);
        m_manifestFile = manifestFile(m_output, m_request.target);
        m_manifest = readManifest(m_manifestFile, m_request.target);
        RemoteListing remote;
        if (!listTarget(remote)) return m_result;
        m_result.plan = makePlan(local, m_manifest, remote, skipped);
        for (const std::string& s : skipped) m_result.failed.push_back(s + ": 読み込めないか、送れない名前です");
        m_observer.planned(m_result.plan);
        if (m_request.dryRun) return finish();

        const PublishPlan& plan = m_result.plan;
        for (const std::string& p : plan.forget) m_manifest.files.erase(p);
        m_progress.filesTotal = plan.sendCount() + plan.remove.size();
        m_progress.bytesTotal = plan.sendBytes;
        // A page may link to any file of an earlier group: once a file of a
        // group did not go, what comes after it (and the removals, which
        // may take what a held page still names) waits for the next
        // publish, which finds it unsent by the manifest.
        bool goOn = true;
        for (SendGroup group : kSendOrder) {
            if (!goOn) {
                m_heldBack = m_heldBack || !plan.send[static_cast<int>(group)].empty();
                continue;
            }
            std::size_t missing = 0;
            if (!sendGroup(plan.send[static_cast<int>(group)], local, missing)) return m_result;
            goOn = missing == 0;
        }
        if (goOn) {
            if (!removeFiles(plan.remove, local)) return m_result;
        } else {
            m_heldBack = m_heldBack || !plan.remove.empty();
        }
        if (!saveManifest()) return m_result;
        return finish();
    }

private:
    PublishResult fail(std::string message, std::string detail = {}) {
        m_result.outcome = PublishOutcome::NothingDone;
        m_result.message = std::move(message);
        m_result.detail = std::move(detail);
        return m_result;
    }

    bool stopped() const { return m_request.stopRequested && m_request.stopRequested(); }

    PublishResult finish() {
        if (m_result.failed.empty()) {
            m_result.outcome = PublishOutcome::Published;
        } else {
            m_result.outcome = PublishOutcome::SomeFailed;
            m_result.message = std::to_string(m_result.failed.size()) + " 個のファイルを公開できませんでした。";
            if (m_heldBack)
                m_result.message += "送れなかったファイルにリンクしうるページと、公開先からの削除は"
                                    "次の公開まで控えました。";
        }
        return m_result;
    }

    bool stopHere() {
        saveManifest();
        m_result.outcome = PublishOutcome::Stopped;
        m_result.message = "公開を中止しました。送ったファイルは記録しました。次の公開が残りを送ります。";
        return false;
    }

    bool saveManifest() {
        std::string error;
        if (writeManifest(m_manifestFile, m_manifest, &error)) return true;
        fail("公開の記録を書けません: " + error);
        return false;
    }

    // Runs rclone with the flags every run gets (after the positional
    // arguments, which rclone allows), its log read line by line as it
    // comes. Nothing, and the result says why, when rclone cannot be run.
    std::optional<ProcessOutcome> runRclone(std::vector<std::string> args, LogReader& log) {
        const std::vector<std::string> flags = commonFlags();
        args.insert(args.end(), flags.begin(), flags.end());
        ProcessOutcome out =
            runProgram(m_rclone, args, [&](const std::string& l) { log.line(l); }, m_request.stopRequested);
        if (!out.started) {
            fail(rcloneMissingMessage(), out.why);
            return std::nullopt;
        }
        return out;
    }

    bool listTarget(RemoteListing& remote) {
        LogReader log;
        const std::optional<ProcessOutcome> ran =
            runRclone({"lsjson", "-R", "--files-only", "--no-mimetype", "--no-modtime", m_request.target}, log);
        if (!ran) return false;
        const ProcessOutcome& out = *ran;
        if (out.stopped) return stopHere();
        // A target folder that does not exist yet is an empty one: the
        // first copy makes it.
        if (out.exitCode == 3 && contains(log.errors, "directory not found")) return true;
        if (out.exitCode != 0) {
            fail(failureMessage(log.errors, m_request.target), log.errors);
            return false;
        }
        json list = json::parse(out.output, nullptr, false);
        if (!list.is_array()) {
            fail("公開先の一覧を読めません。", out.output.substr(0, 200));
            return false;
        }
        for (const json& item : list) {
            if (!item.is_object() || item.value("IsDir", false)) continue;
            remote[item.value("Path", "")] = item.value("Size", std::uint64_t{0});
        }
        return true;
    }

    // Sends one group: its files leave the manifest first (a send cut off
    // midway leaves no record that could vouch for a half-written file) and
    // come back as rclone confirms each one.
    bool sendGroup(const std::vector<std::string>& paths, const FileMap& local, std::size_t& missing) {
        if (paths.empty()) return true;
        if (stopped()) return stopHere();
        for (const std::string& p : paths) m_manifest.files.erase(p);
        if (!saveManifest()) return false;
        ListFile list(m_manifestFile, paths);
        if (!list.ok()) {
            fail("送るファイルの一覧を書けません。");
            return false;
        }
        const std::set<std::string> wanted(paths.begin(), paths.end());
        LogReader log;
        const std::uint64_t bytesBefore = m_progress.bytesDone;
        std::uint64_t confirmedBytes = 0;
        std::size_t counted = 0;
        log.onChange = [&] {
            for (; counted < log.confirmed.size(); ++counted) {
                const std::string& p = log.confirmed[counted];
                if (!wanted.count(p)) continue;
                m_manifest.files[p] = local.at(p);
                confirmedBytes += local.at(p).size;
                ++m_result.sent;
                ++m_progress.filesDone;
            }
            // rclone's statistics come once a second; the files it confirmed
            // meanwhile count already.
            m_progress.bytesDone = bytesBefore + std::max(log.bytes, confirmedBytes);
            m_observer.progress(m_progress);
        };
        const std::optional<ProcessOutcome> ran =
            runRclone({"copy", "--files-from-raw", list.path(), "--no-check-dest", m_output, m_request.target}, log);
        if (!ran) return false;
        const ProcessOutcome& out = *ran;
        m_result.transfers += log.transfers;
        if (out.stopped) return stopHere();
        std::set<std::string> done(log.confirmed.begin(), log.confirmed.end());
        std::map<std::string, std::string> why(log.failed.begin(), log.failed.end());
        for (const std::string& p : paths) {
            if (done.count(p)) continue;
            ++missing;
            const auto reason = why.find(p);
            m_result.failed.push_back(p + ": " +
                                      (reason != why.end() ? failureMessage(reason->second, m_request.target)
                                                           : failureMessage(log.errors, m_request.target)));
        }
        if (!saveManifest()) return false;
        // Nothing of the group went: the server is out of reach or refuses
        // us; going on would only pile up the same failure.
        if (missing == paths.size() && log.failed.empty()) {
            m_result.failed.clear();
            fail(failureMessage(log.errors, m_request.target), log.errors);
            return false;
        }
        return true;
    }

    bool removeFiles(const std::vector<std::string>& paths, const FileMap& local) {
        if (paths.empty()) return true;
        if (stopped()) return stopHere();
        ListFile list(m_manifestFile, paths);
        if (!list.ok()) {
            fail("消すファイルの一覧を書けません。");
            return false;
        }
        LogReader log;
        const std::optional<ProcessOutcome> ran =
            runRclone({"delete", "--files-from-raw", list.path(), m_request.target}, log);
        if (!ran) return false;
        const ProcessOutcome& out = *ran;
        const std::set<std::string> done(log.confirmed.begin(), log.confirmed.end());
        for (const std::string& p : paths) {
            if (done.count(p)) {
                m_manifest.files.erase(p);
                ++m_result.removed;
                ++m_progress.filesDone;
            } else if (!out.stopped) {
                m_result.failed.push_back(p + ": 公開先から消せませんでした");
            }
        }
        m_observer.progress(m_progress);
        if (out.stopped) return stopHere();
        removeEmptiedFolders(paths, local);
        return true;
    }

    // The folders of removed files that the album no longer has (a removed
    // album), deepest first. rmdir takes only an empty folder: one that
    // holds a file of someone else's stays.
    void removeEmptiedFolders(const std::vector<std::string>& removed, const FileMap& local) {
        std::set<std::string> keep;
        for (const auto& [path, facts] : local)
            for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
                keep.insert(path.substr(0, slash));
        std::set<std::string, std::greater<>> folders;
        for (const std::string& p : removed)
            for (std::size_t slash = p.find('/'); slash != std::string::npos; slash = p.find('/', slash + 1))
                if (!keep.count(p.substr(0, slash))) folders.insert(p.substr(0, slash));
        for (const std::string& folder : folders) {
            if (stopped()) return;
            std::vector<std::string> args{"rmdir", "-q", "--retries", "1", "--ask-password=false",
                                          "--sftp-known-hosts-file", knownHostsFile(),
                                          targetPath(m_request.target, folder)};
            runProgram(m_rclone, args, nullptr, m_request.stopRequested);
        }
    }

    const PublishRequest& m_request;
    PublishObserver& m_observer;
    PublishResult m_result;
    PublishProgress m_progress;
    std::string m_output;
    std::string m_rclone;
    std::string m_manifestFile;
    Manifest m_manifest;
    bool m_heldBack = false;  ///< later groups and removals left for the next publish
};

}  // namespace

std::string rcloneMissingMessage() {
    return "rclone が見つかりません。公開には rclone が要ります。Debian パッケージ rclone を入れてください"
           "（sudo apt install rclone）。";
}

std::string failureMessage(const std::string& text, const std::string& target) {
    const std::string host = targetHost(target);
    const std::string hostName = host.empty() ? "ホスト名" : host;
    if (contains(text, "unable to authenticate") || contains(text, "permission denied (publickey") ||
        contains(text, "authentication failed") || contains(text, "login incorrect") ||
        contains(text, "530 ") || contains(text, "401 unauthorized") || contains(text, "invalidaccesskeyid") ||
        contains(text, "signaturedoesnotmatch"))
        return "サーバーが認証を拒否しました。ユーザー名と鍵（またはパスワード）を確かめてください。";
    if (contains(text, "knownhosts: key mismatch"))
        return "サーバーのホスト鍵が known_hosts に記録された鍵と違います。接続を拒否しました。"
               "サーバーの鍵が本当に変わったのなら、端末で ssh-keygen -R " + hostName +
               " として古い鍵を消し、ssh で一度接続して新しい鍵を確かめてから受け入れてください。";
    if (contains(text, "knownhosts: key is unknown") || contains(text, "known_hosts"))
        return "サーバーのホスト鍵が " + knownHostsFile() +
               " にありません。接続を拒否しました。端末で ssh " + hostName +
               " として一度接続し、鍵の指紋を確かめてから受け入れてください。";
    if (contains(text, "no space left") || contains(text, "insufficient storage") || contains(text, "quota") ||
        contains(text, "disk full") || contains(text, "552 ") || contains(text, "entitytoolarge"))
        return "サーバーに空きがありません。サーバーの空き容量を確かめてください。";
    if (contains(text, "connection refused") || contains(text, "no such host") || contains(text, "i/o timeout") ||
        contains(text, "no route to host") || contains(text, "network is unreachable") ||
        contains(text, "connection timed out") || contains(text, "dial tcp") ||
        contains(text, "temporary failure in name resolution"))
        return "サーバーに接続できません。ホスト名、ポート、ネットワークを確かめてください。";
    if (contains(text, "didn't find section in config file") || contains(text, "not found in config"))
        return "公開先のリモートが rclone の設定にありません。rclone config で作るか、公開先の名前を確かめてください。";
    std::string last;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end > start) last = text.substr(start, end - start);
        start = end + 1;
    }
    return last.empty() ? std::string("公開できませんでした。") : "公開できませんでした: " + last;
}

PublishResult publishOutputFolder(const PublishRequest& request, PublishObserver& observer) {
    try {
        return Publish(request, observer).run();
    } catch (const std::exception& e) {
        PublishResult result;
        result.message = std::string("公開できませんでした: ") + e.what();
        return result;
    }
}

}  // namespace mirofoto::publish
