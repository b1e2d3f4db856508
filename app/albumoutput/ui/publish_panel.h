// The publish strip of the album output form: the 公開先 box, the 公開 button
// (中止 while a publish goes), a dry run, the check box that publishes after a
// finished run, and the progress in files and bytes. The publish runs on a
// worker of its own; what it reports comes back through queued calls, so the
// window never waits on the network.
#pragma once

#include "app/publish/publisher.h"

#include <QWidget>

#include <functional>
#include <future>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace mirofoto {
class ThreadPool;
}

namespace mirofoto::albumoutput_ui {

class PublishPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 1350;  ///< twips

    /// outputFolder gives the output folder box's text when asked.
    PublishPanel(QWidget* parent, ThreadPool& pool, std::function<std::string()> outputFolder);
    ~PublishPanel() override;

    /// Cmd_公開: publishes (or, during a publish, asks whether to stop it).
    void Cmd_公開_Click();
    /// Cmd_公開試行: lists what a publish would send and remove.
    void Cmd_公開試行_Click();
    /// Cmd_公開先設定: the dialog that sets up a new target (Frm_公開先設定);
    /// the target it made goes into the box.
    void Cmd_公開先設定_Click();

    bool busy() const { return m_busy; }
    /// "作成後に公開する" is ticked (a finished run then publishes).
    bool publishAfterRun() const;
    /// Asks whether to stop the publish; true when it was stopped (or none runs).
    bool askStop();
    /// The stored target of the output folder in the box, unless the user
    /// has typed one.
    void loadStoredTarget();

signals:
    /// A publish started (true) or ended (false).
    void busyChanged(bool busy);
    /// A publish (or dry run) ended; whether it published everything.
    void publishEnded(bool published);

private:
    struct Shared;
    class Observer;

    void start(bool dryRun);
    void onPlanned(const publish::PublishPlan& plan, bool dryRun);
    void onProgress(const publish::PublishProgress& progress);
    void onEnded(const publish::PublishResult& result, bool dryRun, bool declined);
    void setBusy(bool busy);

    std::function<std::string()> m_outputFolder;
    QLineEdit* m_target = nullptr;
    QPushButton* m_setup = nullptr;
    QCheckBox* m_after = nullptr;
    QPushButton* m_dryRun = nullptr;
    QPushButton* m_publish = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_status = nullptr;
    bool m_busy = false;
    bool m_typed = false;
    std::shared_ptr<Shared> m_shared;
    ThreadPool& m_pool;  ///< the program's
    std::future<void> m_task;
};

}  // namespace mirofoto::albumoutput_ui
