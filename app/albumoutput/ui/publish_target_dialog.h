// Frm_公開先設定: sets up a publish target for users without a terminal. Its
// values become a remote of the user's rclone configuration ("rclone config
// create", run on a worker); the password goes to rclone only.
#pragma once

#include "app/publish/remote_setup.h"

#include <QDialog>

#include <future>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace mirofoto {
class ThreadPool;
}

namespace mirofoto::albumoutput_ui {

class PublishTargetDialog : public QDialog {
    Q_OBJECT
public:
    PublishTargetDialog(QWidget* parent, ThreadPool& pool);
    ~PublishTargetDialog() override;

    /// Cmd_作成: checks the values and makes the remote; the dialog closes
    /// with Accepted once rclone has stored it.
    void Cmd_作成_Click();
    void Cmd_鍵参照_Click();

    /// The target of the remote made ("name:folder"), once accepted.
    const std::string& target() const { return m_made; }

signals:
    /// The remote was made (or could not be: the reason was shown).
    void setupEnded(bool made);

private:
    publish::RemoteSetup values() const;
    void onTypeChanged();

    QLineEdit* m_name = nullptr;
    QComboBox* m_type = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QPushButton* m_browseKey = nullptr;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_create = nullptr;
    std::string m_made;
    std::shared_ptr<bool> m_alive;
    ThreadPool& m_pool;  ///< the program's
    std::future<void> m_task;
};

}  // namespace mirofoto::albumoutput_ui
