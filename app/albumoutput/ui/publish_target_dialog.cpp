#include "app/albumoutput/ui/publish_target_dialog.h"

#include "app/settings/settings_files.h"
#include "app/util/thread_pool.h"
#include "platform/ui_services.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirofoto::albumoutput_ui {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string text(const QLineEdit* box) { return box->text().trimmed().toStdString(); }

QLineEdit* box(QWidget* parent, const char* name) {
    auto* b = new QLineEdit(parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

}  // namespace

PublishTargetDialog::PublishTargetDialog(QWidget* parent, ThreadPool& pool)
    : QDialog(parent), m_alive(std::make_shared<bool>(true)), m_pool(pool) {
    setObjectName(QStringLiteral("Frm_公開先設定"));
    setWindowTitle(QStringLiteral("ミロフォト - 公開先の設定"));
    m_name = box(this, "Txt_リモート名");
    m_name->setPlaceholderText(QStringLiteral("myserver"));
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("Cmb_種類"));
    m_type->addItem(QStringLiteral("SFTP（SSH）"), QStringLiteral("sftp"));
    m_type->addItem(QStringLiteral("FTP"), QStringLiteral("ftp"));
    m_type->addItem(QStringLiteral("WebDAV"), QStringLiteral("webdav"));
    m_host = box(this, "Txt_ホスト");
    m_port = box(this, "Txt_ポート");
    m_user = box(this, "Txt_ユーザー");
    m_password = box(this, "Txt_パスワード");
    m_password->setEchoMode(QLineEdit::Password);
    m_keyFile = box(this, "Txt_鍵ファイル");
    m_browseKey = new QPushButton(QStringLiteral("参照..."), this);
    m_browseKey->setObjectName(QStringLiteral("Cmd_鍵参照"));
    m_folder = box(this, "Txt_公開フォルダ");
    m_folder->setPlaceholderText(QStringLiteral("public_html/album"));

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(m_keyFile);
    keyRow->addWidget(m_browseKey);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("名前"), m_name);
    form->addRow(QStringLiteral("種類"), m_type);
    form->addRow(QStringLiteral("ホスト / URL"), m_host);
    form->addRow(QStringLiteral("ポート"), m_port);
    form->addRow(QStringLiteral("ユーザー"), m_user);
    form->addRow(QStringLiteral("パスワード"), m_password);
    form->addRow(QStringLiteral("SSH の鍵"), keyRow);
    form->addRow(QStringLiteral("フォルダ"), m_folder);
    auto* note = new QLabel(QStringLiteral("パスワードは rclone の設定に（難読化して）保存され、ミロフォトは保存しません。\n"
                                           "SSH の鍵を使うときはパスワードを空にしてください。"),
                            this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    m_create = buttons->addButton(QStringLiteral("作成"), QDialogButtonBox::AcceptRole);
    m_create->setObjectName(QStringLiteral("Cmd_作成"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Cmd_キャンセル"));
    setMinimumWidth(460);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);

    // The dialog's own buttons: 作成 waits for rclone before closing.
    disconnect(buttons, nullptr, this, nullptr);
    connect(m_create, &QPushButton::clicked, this, &PublishTargetDialog::Cmd_作成_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browseKey, &QPushButton::clicked, this, &PublishTargetDialog::Cmd_鍵参照_Click);
    connect(m_type, &QComboBox::currentIndexChanged, this, &PublishTargetDialog::onTypeChanged);
    onTypeChanged();
}

PublishTargetDialog::~PublishTargetDialog() {
    *m_alive = false;
    if (m_task.valid()) m_task.wait();
}

void PublishTargetDialog::onTypeChanged() {
    const bool sftp = m_type->currentData().toString() == QStringLiteral("sftp");
    m_keyFile->setEnabled(sftp);
    m_browseKey->setEnabled(sftp);
}

publish::RemoteSetup PublishTargetDialog::values() const {
    publish::RemoteSetup s;
    s.name = text(m_name);
    s.type = m_type->currentData().toString().toStdString();
    s.host = text(m_host);
    s.port = text(m_port);
    s.user = text(m_user);
    s.password = m_password->text().toStdString();
    if (s.type == "sftp") s.keyFile = text(m_keyFile);
    s.folder = text(m_folder);
    return s;
}

void PublishTargetDialog::Cmd_鍵参照_Click() {
    platform::FileDialogOptions options;
    options.title = "SSH の秘密鍵";
    if (const auto chosen = platform::ui().openFileDialog(this, options)) m_keyFile->setText(q(*chosen));
}

void PublishTargetDialog::Cmd_作成_Click() {
    const publish::RemoteSetup setup = values();
    if (const std::string why = publish::remoteSetupProblem(setup); !why.empty()) {
        platform::ui().messageBox(this, why, kApplicationTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    m_create->setEnabled(false);
    m_task = m_pool.submit([this, alive = m_alive, setup] {
        std::string error;
        const bool made = publish::createRemote(setup, &error);
        QMetaObject::invokeMethod(
            this,
            [this, alive, made, error, target = publish::setupTarget(setup)] {
                if (!*alive) return;
                m_create->setEnabled(true);
                if (!made) {
                    platform::ui().messageBox(this, error, kApplicationTitle, MsgButtons::Ok, MsgIcon::Exclamation);
                    emit setupEnded(false);
                    return;
                }
                m_made = target;
                emit setupEnded(true);
                accept();
            },
            Qt::QueuedConnection);
    });
}

}  // namespace mirofoto::albumoutput_ui
