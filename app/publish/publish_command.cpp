#include "app/publish/publish_command.h"

#include "app/publish/publish_target.h"
#include "app/publish/publisher.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

namespace mirofoto::publish {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) { g_interrupted = true; }

class TerminalObserver final : public PublishObserver {
public:
    TerminalObserver(std::ostream& out, bool dryRun) : m_out(out), m_dryRun(dryRun) {}

    void planned(const PublishPlan& plan) override {
        if (m_dryRun) {
            for (SendGroup g : kSendOrder)
                for (const std::string& p : plan.send[static_cast<int>(g)]) m_out << "送る: " << p << "\n";
            for (const std::string& p : plan.remove) m_out << "消す: " << p << "\n";
        }
        m_out << (m_dryRun ? "（試行）" : "") << "送る " << plan.sendCount() << " ファイル（" << byteText(plan.sendBytes)
              << "）、消す " << plan.remove.size() << " ファイル、そのまま " << plan.unchanged << " ファイル\n"
              << std::flush;
    }
    void progress(const PublishProgress& p) override {
        // One line per tenth of the files, not one per file.
        const std::size_t step = std::max<std::size_t>(1, p.filesTotal / 10);
        if (p.filesDone == m_lastFiles || (p.filesDone % step != 0 && p.filesDone != p.filesTotal)) return;
        m_lastFiles = p.filesDone;
        m_out << "  " << p.filesDone << " / " << p.filesTotal << " ファイル、" << byteText(p.bytesDone) << " / "
              << byteText(p.bytesTotal) << "\n"
              << std::flush;
    }

private:
    std::ostream& m_out;
    bool m_dryRun;
    std::size_t m_lastFiles = 0;
};

}  // namespace

std::string byteText(std::uint64_t bytes) {
    char buf[32];
    if (bytes < 1024) std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024 * 1024) std::snprintf(buf, sizeof buf, "%.1f KB", double(bytes) / 1024);
    else if (bytes < 1024ull * 1024 * 1024) std::snprintf(buf, sizeof buf, "%.1f MB", double(bytes) / (1024 * 1024));
    else std::snprintf(buf, sizeof buf, "%.2f GB", double(bytes) / (1024.0 * 1024 * 1024));
    return buf;
}

std::string planSummary(const PublishPlan& plan, std::size_t maxNames) {
    std::string text = "送る " + std::to_string(plan.sendCount()) + " ファイル（" + byteText(plan.sendBytes) + "）、消す " +
                       std::to_string(plan.remove.size()) + " ファイル、そのまま " + std::to_string(plan.unchanged) +
                       " ファイル";
    std::size_t listed = 0, all = plan.sendCount() + plan.remove.size();
    const auto add = [&](const char* what, const std::string& path) {
        if (listed++ < maxNames) text += "\r" + std::string(what) + path;
    };
    for (SendGroup g : kSendOrder)
        for (const std::string& p : plan.send[static_cast<int>(g)]) add("送る: ", p);
    for (const std::string& p : plan.remove) add("消す: ", p);
    if (all > maxNames) text += "\r……ほか " + std::to_string(all - maxNames) + " ファイル";
    return text;
}

std::string publishHelp() {
    return "使い方: mirofoto publish --output 出力フォルダ [--to 公開先] [--dry-run]\n"
           "  出力フォルダのうち変わったファイルだけを公開先に送り、アルバムから消えたファイルを公開先から消します。\n"
           "  公開先は rclone のリモートパスです: myserver:public_html/album（rclone config で作ったリモート）、\n"
           "  :sftp,host=example.org,user=me:/var/www/album（SSH の鍵かエージェントで認証）。\n"
           "  パスワードや鍵を公開先に書くことはできません。--to は出力フォルダごとに記憶され、次からは省けます。\n"
           "  公開先にある、このプログラムが送っていないファイルには触れません。\n"
           "  --dry-run  送るファイルと消すファイルを表示するだけで、何も変えません\n"
           "終了コード: 0 公開した、1 何もできなかったか中止した、2 引数が正しくない、3 一部のファイルを送れなかった\n";
}

int runPublishCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> output, target;
    bool dryRun = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            out << publishHelp();
            return kPublishDone;
        }
        if (a == "--dry-run") dryRun = true;
        else if (a == "--output" ? !value(output) : a == "--to" ? !value(target) : true) {
            err << "mirofoto publish: 引数が正しくありません: " << a << "\n" << publishHelp();
            return kPublishUsage;
        }
    }
    if (!output || output->empty()) {
        err << "mirofoto publish: --output で出力フォルダを指定してください。\n" << publishHelp();
        return kPublishUsage;
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(*output, ec).lexically_normal();
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        err << "mirofoto publish: 出力フォルダがありません: " << *output << "\n";
        return kPublishUsage;
    }
    const std::string outputFolder = folder.string();
    if (!target) {
        target = storedTarget(outputFolder);
        if (target->empty()) {
            err << "mirofoto publish: この出力フォルダの公開先がまだありません。--to で指定してください。\n";
            return kPublishUsage;
        }
    }
    if (std::string why = targetProblem(*target); !why.empty()) {
        err << "mirofoto publish: " << why << "\n";
        return kPublishUsage;
    }
    if (!dryRun) {
        std::string why;
        if (storedTarget(outputFolder) != *target && !storeTarget(outputFolder, *target, &why))
            err << "mirofoto publish: 公開先を記憶できません: " << why << "\n";
    }

    // Ctrl+C and a polite kill stop the transfer and keep the record of
    // what went; SIGKILL is handled by rclone dying with us.
    g_interrupted = false;
    struct sigaction action {}, oldInt {}, oldTerm {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &oldInt);
    ::sigaction(SIGTERM, &action, &oldTerm);

    PublishRequest request;
    request.outputFolder = outputFolder;
    request.target = *target;
    request.dryRun = dryRun;
    request.stopRequested = [] { return g_interrupted.load(); };
    TerminalObserver observer(out, dryRun);
    const PublishResult result = publishOutputFolder(request, observer);
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);

    for (const std::string& f : result.failed) err << "  " << f << "\n";
    switch (result.outcome) {
    case PublishOutcome::Published:
        if (!dryRun)
            out << "公開しました: 送った " << result.sent << "、消した " << result.removed << "、そのまま "
                << result.plan.unchanged << "（rclone の転送 " << result.transfers << "）\n";
        return kPublishDone;
    case PublishOutcome::SomeFailed:
        err << result.message << "\n";
        return kPublishIncomplete;
    case PublishOutcome::Stopped:
        err << result.message << "\n";
        return kPublishStopped;
    case PublishOutcome::NothingDone:
        break;
    }
    err << result.message << "\n";
    if (!result.detail.empty()) err << "  rclone: " << result.detail;
    if (!result.detail.empty() && result.detail.back() != '\n') err << "\n";
    return kPublishStopped;
}

}  // namespace mirofoto::publish
