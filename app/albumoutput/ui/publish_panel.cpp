#include "app/albumoutput/ui/publish_panel.h"

#include "app/albumoutput/album_run_checks.h"
#include "app/albumoutput/ui/publish_target_dialog.h"
#include "app/mainwindow/twips_geometry.h"
#include "app/publish/publish_command.h"
#include "app/publish/publish_target.h"
#include "app/settings/settings_files.h"
#include "app/util/thread_pool.h"
#include "platform/ui_services.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>

namespace mirofoto::albumoutput_ui {

using mainwindow::setTwipsGeometry;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

struct PublishPanel::Shared {
    std::atomic<bool> stop{false};
    std::atomic<bool> gone{false};
};

/// On the worker: progress goes to the panel by queued calls; the question
/// before a first publish waits for the answer given on the panel's thread.
class PublishPanel::Observer final : public publish::PublishObserver {
public:
    Observer(PublishPanel* panel, std::shared_ptr<Shared> shared, bool dryRun)
        : m_panel(panel), m_shared(std::move(shared)), m_dryRun(dryRun) {}

    void planned(const publish::PublishPlan& plan) override {
        post([plan, dry = m_dryRun](PublishPanel* p) { p->onPlanned(plan, dry); });
    }
    void progress(const publish::PublishProgress& progress) override {
        post([progress](PublishPanel* p) { p->onProgress(progress); });
    }

    template <class F>
    void post(F&& f) {
        PublishPanel* panel = m_panel;
        QMetaObject::invokeMethod(panel, [panel, f = std::forward<F>(f)] { f(panel); }, Qt::QueuedConnection);
    }

    /// Asks on the panel's thread; No when the panel goes meanwhile.
    MsgResult ask(const std::string& text) {
        auto promise = std::make_shared<std::promise<MsgResult>>();
        std::future<MsgResult> answer = promise->get_future();
        post([promise, text](PublishPanel* p) {
            promise->set_value(platform::ui().messageBox(p, text, kApplicationTitle, MsgButtons::YesNo,
                                                         MsgIcon::Question));
        });
        while (answer.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            if (m_shared->gone.load()) return MsgResult::No;
        return answer.get();
    }

private:
    PublishPanel* m_panel;
    std::shared_ptr<Shared> m_shared;
    bool m_dryRun;
};

PublishPanel::PublishPanel(QWidget* parent, ThreadPool& pool, std::function<std::string()> outputFolder)
    : QWidget(parent), m_outputFolder(std::move(outputFolder)), m_pool(pool) {
    setObjectName(QStringLiteral("Frame_公開"));
    auto* label = new QLabel(QStringLiteral("公開先"), this);
    m_target = new QLineEdit(this);
    m_target->setObjectName(QStringLiteral("Txt_公開先"));
    m_target->setAccessibleName(label->text());
    m_target->setPlaceholderText(QStringLiteral("myserver:public_html/album"));
    label->setBuddy(m_target);
    m_setup = new QPushButton(QStringLiteral("設定..."), this);
    m_setup->setObjectName(QStringLiteral("Cmd_公開先設定"));
    m_setup->setAccessibleName(QStringLiteral("公開先の設定"));
    m_after = new QCheckBox(QStringLiteral("作成後に公開する"), this);
    m_after->setObjectName(QStringLiteral("Chk_作成後に公開"));
    m_dryRun = new QPushButton(QStringLiteral("試行"), this);
    m_dryRun->setObjectName(QStringLiteral("Cmd_公開試行"));
    m_dryRun->setAccessibleName(QStringLiteral("公開の試行（送るファイルの一覧）"));
    m_publish = new QPushButton(QStringLiteral("公開"), this);
    m_publish->setObjectName(QStringLiteral("Cmd_公開"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("Pgb_公開"));
    m_bar->setAccessibleName(QStringLiteral("公開の進行状況"));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Lbl_公開状況"));

    // The strip lies over the run's lists while no run goes (they show
    // only in the taller running form): it hides them with its own
    // background, under a line that sets it apart from the form above.
    setAutoFillBackground(true);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    setTwipsGeometry(line, {0, 0, 6315, 30});
    setTwipsGeometry(label, {0, 135, 900, 255});
    setTwipsGeometry(m_target, {900, 90, 4155, 330});
    setTwipsGeometry(m_setup, {5190, 75, 1125, 360});
    setTwipsGeometry(m_after, {0, 540, 2700, 300});
    setTwipsGeometry(m_dryRun, {3930, 510, 1125, 375});
    setTwipsGeometry(m_publish, {5190, 510, 1125, 375});
    setTwipsGeometry(m_bar, {0, 1005, 2700, 255});
    setTwipsGeometry(m_status, {2820, 975, 3495, 300});

    connect(m_publish, &QPushButton::clicked, this, &PublishPanel::Cmd_公開_Click);
    connect(m_dryRun, &QPushButton::clicked, this, &PublishPanel::Cmd_公開試行_Click);
    connect(m_setup, &QPushButton::clicked, this, &PublishPanel::Cmd_公開先設定_Click);
    connect(m_target, &QLineEdit::textEdited, this, [this] { m_typed = true; });
    loadStoredTarget();
}

PublishPanel::~PublishPanel() {
    // A publish still going is stopped: rclone is told to end and the
    // manifest keeps what was confirmed. It is waited for here, since it
    // reports to this panel.
    if (m_shared) {
        m_shared->gone = true;
        m_shared->stop = true;
    }
    if (m_task.valid()) m_task.wait();
}

bool PublishPanel::publishAfterRun() const { return m_after->isChecked(); }

void PublishPanel::loadStoredTarget() {
    if (m_typed || m_busy) return;
    const std::string folder = trimSpaces(m_outputFolder());
    std::error_code ec;
    m_target->setText(folder.empty() || !std::filesystem::is_directory(folder, ec)
                          ? QString()
                          : q(publish::storedTarget(folder)));
}

void PublishPanel::Cmd_公開_Click() {
    if (m_busy) askStop();
    else start(false);
}

void PublishPanel::Cmd_公開試行_Click() {
    if (!m_busy) start(true);
}

void PublishPanel::Cmd_公開先設定_Click() {
    if (m_busy) return;
    auto* dialog = new PublishTargetDialog(this, m_pool);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_target->setText(q(dialog->target()));
        m_typed = true;
    });
    dialog->open();
}

bool PublishPanel::askStop() {
    if (!m_busy) return true;
    if (m_shared->stop) return true;
    if (platform::ui().messageBox(this, "公開を中止しますか？\r送り終えたファイルは記録され、次の公開が残りを送ります。",
                                  kApplicationTitle, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
        return false;
    if (!m_busy) return true;  // it ended while the question was open
    m_shared->stop = true;
    m_publish->setEnabled(false);
    m_status->setText(QStringLiteral("中止しています…"));
    return true;
}

void PublishPanel::setBusy(bool busy) {
    m_busy = busy;
    m_publish->setText(busy ? QStringLiteral("中止") : QStringLiteral("公開"));
    m_publish->setEnabled(true);
    m_dryRun->setEnabled(!busy);
    m_setup->setEnabled(!busy);
    m_target->setReadOnly(busy);
    m_after->setEnabled(!busy);
    emit busyChanged(busy);
}

void PublishPanel::start(bool dryRun) {
    const std::string target = trimSpaces(m_target->text().toStdString());
    if (const std::string why = publish::targetProblem(target); !why.empty()) {
        platform::ui().messageBox(this, why, kApplicationTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        m_target->setFocus(Qt::OtherFocusReason);
        return;
    }
    const std::string folder = trimSpaces(m_outputFolder());
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
        platform::ui().messageBox(this, "出力フォルダがありません。先にアルバムを作成してください。", kApplicationTitle,
                                  MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    if (!dryRun) {
        std::string why;
        if (publish::storedTarget(folder) != target && !publish::storeTarget(folder, target, &why))
            platform::ui().messageBox(this, "公開先を記憶できません: " + why, kApplicationTitle, MsgButtons::Ok,
                                      MsgIcon::Exclamation);
    }
    m_shared = std::make_shared<Shared>();
    setBusy(true);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_status->setText(dryRun ? QStringLiteral("公開先を調べています…") : QStringLiteral("公開を始めます…"));

    publish::PublishRequest request;
    request.outputFolder = folder;
    request.target = target;
    request.stopRequested = [shared = m_shared] { return shared->stop.load(); };
    m_task = m_pool.submit([panel = this, shared = m_shared, request = std::move(request), dryRun]() mutable {
        const auto run = [&](bool dry) {
            request.dryRun = dry;
            Observer observer(panel, shared, dry);
            return publish::publishOutputFolder(request, observer);
        };
        // The first publish to a target shows what it will do and asks.
        const bool first =
            !publish::readManifest(publish::manifestFile(request.outputFolder, request.target), request.target).existed;
        bool declined = false;
        publish::PublishResult result;
        if (dryRun) {
            result = run(true);
        } else if (!first) {
            result = run(false);
        } else {
            result = run(true);
            if (result.outcome == publish::PublishOutcome::Published) {
                const std::string question = "この公開先には初めて公開します。\r" + request.target + "\r\r" +
                                             publish::planSummary(result.plan, 10) + "\r\r公開しますか？";
                declined = Observer(panel, shared, true).ask(question) != MsgResult::Yes;
                if (!declined) result = run(false);
            }
        }
        if (shared->gone) return;
        QMetaObject::invokeMethod(
            panel, [panel, result = std::move(result), dryRun, declined] { panel->onEnded(result, dryRun, declined); },
            Qt::QueuedConnection);
    });
}

void PublishPanel::onPlanned(const publish::PublishPlan& plan, bool dryRun) {
    if (dryRun) return;
    m_bar->setRange(0, std::max<int>(1, int(plan.sendCount() + plan.remove.size())));
    m_bar->setValue(0);
    m_status->setText(q("送る " + std::to_string(plan.sendCount()) + " ファイル（" + publish::byteText(plan.sendBytes) +
                        "）"));
}

void PublishPanel::onProgress(const publish::PublishProgress& p) {
    m_bar->setValue(int(p.filesDone));
    m_status->setText(q(std::to_string(p.filesDone) + " / " + std::to_string(p.filesTotal) + " ファイル、" +
                        publish::byteText(p.bytesDone) + " / " + publish::byteText(p.bytesTotal)));
}

void PublishPanel::onEnded(const publish::PublishResult& result, bool dryRun, bool declined) {
    using publish::PublishOutcome;
    setBusy(false);
    if (declined) {
        m_status->setText(QStringLiteral("公開しませんでした"));
        m_shared.reset();
        emit publishEnded(false);
        return;
    }
    const bool published = !dryRun && result.outcome == PublishOutcome::Published;
    switch (result.outcome) {
    case PublishOutcome::Published:
        if (dryRun) {
            m_status->setText(QStringLiteral("試行しました（何も変えていません）"));
            platform::ui().messageBox(this, "試行（何も変えていません）\r" + publish::planSummary(result.plan, 15),
                                      kApplicationTitle, MsgButtons::Ok, MsgIcon::Information);
        } else {
            m_bar->setValue(m_bar->maximum());
            m_status->setText(q("公開しました（送った " + std::to_string(result.sent) + "、消した " +
                                std::to_string(result.removed) + "）"));
        }
        break;
    case PublishOutcome::SomeFailed: {
        m_status->setText(QStringLiteral("一部を公開できませんでした"));
        std::string text = result.message;
        for (std::size_t i = 0; i < result.failed.size() && i < 10; ++i) text += "\r" + result.failed[i];
        platform::ui().messageBox(this, text, kApplicationTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        break;
    }
    case PublishOutcome::Stopped:
        m_status->setText(QStringLiteral("公開を中止しました"));
        platform::ui().messageBox(this, result.message, kApplicationTitle, MsgButtons::Ok, MsgIcon::Information);
        break;
    case PublishOutcome::NothingDone:
        m_status->setText(QStringLiteral("公開できませんでした"));
        platform::ui().messageBox(this, result.message, kApplicationTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        break;
    }
    m_shared.reset();
    emit publishEnded(published);
}

}  // namespace mirofoto::albumoutput_ui
