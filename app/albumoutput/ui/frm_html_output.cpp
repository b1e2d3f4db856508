#include "app/albumoutput/ui/frm_html_output.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_output_form_model.h"
#include "app/albumoutput/ui/publish_panel.h"
#include "app/mainwindow/qt_text.h"
#include "app/mainwindow/qt_ui_services.h"
#include "app/mainwindow/twips_geometry.h"
#include "app/settings/settings_files.h"
#include "app/util/paths.h"
#include "app/util/thread_pool.h"
#include "platform/ui_services.h"

#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <future>

namespace mirofoto::albumoutput_ui {

using mainwindow::setTwipsGeometry;
using mainwindow::TwipsScale;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

constexpr int kOptionRow = 360;

}  // namespace

/// What the form and its worker share: the stop request, and whether the
/// form is still there to answer.
struct Frm_HTMLOutput::Shared {
    std::atomic<bool> stop{false};
    std::atomic<bool> formGone{false};
};

/// The run's observer, on the worker: everything it learns goes to the form
/// by queued calls; a question waits for the answer given on the form's
/// thread (or for the form to go, which cancels the run).
class Frm_HTMLOutput::Observer final : public AlbumRunObserver {
public:
    Observer(Frm_HTMLOutput* form, std::shared_ptr<Shared> shared) : m_form(form), m_shared(std::move(shared)) {}

    MsgResult ask(AlbumQuestion question, std::string_view text, MsgButtons buttons, MsgIcon icon) override {
        return onForm<MsgResult>([question, text = std::string(text), buttons, icon](Frm_HTMLOutput* form) {
            // The run is done when it asks whether to show the album: the
            // lists are emptied before the question, not behind it.
            if (question == AlbumQuestion::ShowAlbum) {
                form->m_albums->clear();
                form->m_pictures->clear();
            }
            return platform::ui().messageBox(form, text, kApplicationTitle, buttons, icon);
        });
    }
    void tell(std::string_view text, MsgIcon icon) override {
        onForm<MsgResult>([text = std::string(text), icon](Frm_HTMLOutput* form) {
            return platform::ui().messageBox(form, text, kApplicationTitle, MsgButtons::Ok, icon);
        });
    }
    void showAlbum(std::string_view indexPage) override {
        onForm<bool>([page = std::string(indexPage)](Frm_HTMLOutput* form) {
            return mainwindow::openInBrowser(form, page);
        });
    }

    void outputFolderTrimmed(std::string_view text) override {
        post([t = q(text)](Frm_HTMLOutput* f) { f->m_output->setText(t); });
    }
    void focusOutputFolder() override {
        post([](Frm_HTMLOutput* f) { f->m_output->setFocus(Qt::OtherFocusReason); });
    }
    void runStarted() override {
        post([](Frm_HTMLOutput* f) { f->setRunningHeight(true); });
    }
    void albumsListed(const std::vector<std::string>& entries) override {
        post([entries](Frm_HTMLOutput* f) { f->onAlbumsListed(entries); });
    }
    void albumStarted(int i) override {
        post([i](Frm_HTMLOutput* f) { f->onAlbumStarted(i); });
    }
    void picturesListed(const std::vector<std::string>& names) override {
        post([names](Frm_HTMLOutput* f) { f->onPicturesListed(names); });
    }
    void pictureStarted(int i) override {
        post([i](Frm_HTMLOutput* f) { f->onPictureStarted(i); });
    }
    void pictureDone(int i) override {
        post([i](Frm_HTMLOutput* f) { f->onPictureDone(i); });
    }
    void albumDone(int i) override {
        post([i](Frm_HTMLOutput* f) { f->onAlbumDone(i); });
    }

private:
    template <class F>
    void post(F&& f) {
        Frm_HTMLOutput* form = m_form;
        // Dropped by Qt when the form is gone before it runs.
        QMetaObject::invokeMethod(form, [form, f = std::forward<F>(f)] { f(form); }, Qt::QueuedConnection);
    }

    // Runs the call on the form's thread and waits for its result.
    template <class R, class F>
    R onForm(F&& f) {
        auto promise = std::make_shared<std::promise<R>>();
        std::future<R> answer = promise->get_future();
        Frm_HTMLOutput* form = m_form;
        QMetaObject::invokeMethod(
            form,
            [form, promise, f = std::forward<F>(f)] {
                try {
                    promise->set_value(f(form));
                } catch (...) {
                    promise->set_exception(std::current_exception());
                }
            },
            Qt::QueuedConnection);
        while (answer.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            if (m_shared->formGone.load()) throw AlbumRunCancelled("the album output form was closed");
        return answer.get();
    }

    Frm_HTMLOutput* m_form;
    std::shared_ptr<Shared> m_shared;
};

Frm_HTMLOutput::Frm_HTMLOutput(AlbumRunHost& main)
    : QDialog(main.hostWidget()), m_main(main), m_pool(main.pool()) {
    setObjectName(QStringLiteral("Frm_HTML出力"));
    setWindowTitle(QStringLiteral("ミロフォト - HTML出力"));

    auto* label = new QLabel(QStringLiteral("HTML出力先"), this);
    m_output = new QLineEdit(this);
    m_output->setObjectName(QStringLiteral("Txt_HTML出力先"));
    m_output->setAccessibleName(label->text());
    label->setBuddy(m_output);
    m_browse = new QPushButton(QStringLiteral("参照..."), this);
    m_browse->setObjectName(QStringLiteral("Cmd_参照"));
    m_browse->setAccessibleName(QStringLiteral("HTML出力先の参照"));
    setTwipsGeometry(label, {120, 120, 3000, 255});
    setTwipsGeometry(m_output, {120, 390, 5055, 330});
    setTwipsGeometry(m_browse, {5310, 375, 1125, 360});

    auto* frame = new QGroupBox(QStringLiteral("既存ファイルへの上書き"), this);
    frame->setObjectName(QStringLiteral("Frame_既存ファイル"));
    const auto options = existingAlbumOptions();
    int top = 300;
    for (const ExistingAlbumOption& o : options) {
        auto* button = new QRadioButton(q(o.caption), frame);
        button->setObjectName(q(o.objectName));
        setTwipsGeometry(button, {180, top, 4700, kOptionRow - 15});
        m_options.emplace_back(button, o.policy);
        top += kOptionRow;
    }
    m_options.front().first->setChecked(true);
    setTwipsGeometry(frame, {120, 870, 5055, top + 90});

    m_start = new QPushButton(QStringLiteral("HTML出力"), this);
    m_start->setObjectName(QStringLiteral("Cmd_HTML出力"));
    m_start->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cancel->setObjectName(QStringLiteral("Cmd_キャンセル"));
    setTwipsGeometry(m_start, {5310, 990, 1125, 375});
    setTwipsGeometry(m_cancel, {5310, 1470, 1125, 375});

    auto* albumsLabel = new QLabel(QStringLiteral("処理中フォルダ"), this);
    m_albums = new QListWidget(this);
    m_albums->setObjectName(QStringLiteral("Lst_AlbumFolder"));
    auto* picturesLabel = new QLabel(QStringLiteral("処理中画像ファイル"), this);
    m_pictures = new QListWidget(this);
    m_pictures->setObjectName(QStringLiteral("Lst_画像ファイル"));
    for (auto [l, list] : {std::pair{albumsLabel, m_albums}, std::pair{picturesLabel, m_pictures}}) {
        list->setAccessibleName(l->text());
        l->setBuddy(list);
    }
    m_albumBar = new QProgressBar(this);
    m_albumBar->setObjectName(QStringLiteral("Pgb_アルバム"));
    m_albumBar->setAccessibleName(QStringLiteral("アルバムの進行状況"));
    m_pictureBar = new QProgressBar(this);
    m_pictureBar->setObjectName(QStringLiteral("Pgb_画像"));
    m_pictureBar->setAccessibleName(QStringLiteral("画像の進行状況"));
    setTwipsGeometry(albumsLabel, {120, 3510, 3000, 255});
    setTwipsGeometry(m_albums, {120, 3765, 3075, 1215});
    setTwipsGeometry(picturesLabel, {3360, 3510, 3000, 255});
    setTwipsGeometry(m_pictures, {3360, 3765, 3075, 1215});
    setTwipsGeometry(m_albumBar, {120, 5100, 6315, 255});
    setTwipsGeometry(m_pictureBar, {120, 5445, 6315, 255});
    for (QProgressBar* bar : {m_albumBar, m_pictureBar}) {
        bar->setTextVisible(false);  // a bar alone, as the form's design has it
        bar->setRange(0, 1);
        bar->setValue(0);
    }

    connect(m_browse, &QPushButton::clicked, this, &Frm_HTMLOutput::Cmd_参照_Click);
    connect(m_start, &QPushButton::clicked, this, &Frm_HTMLOutput::Cmd_HTML出力_Click);
    connect(m_cancel, &QPushButton::clicked, this, &Frm_HTMLOutput::Cmd_キャンセル_Click);

    m_output->setText(q(main.settings().outputFolder));
    addPublishPanel();
    setRunningHeight(false);
}

Frm_HTMLOutput::~Frm_HTMLOutput() {
    // A run still going (the program ends) is cancelled at its next
    // question and stopped at its next picture; the form waits for it.
    if (m_shared) {
        m_shared->formGone = true;
        m_shared->stop = true;
    }
    if (m_run.valid()) m_run.wait();
}

int Frm_HTMLOutput::heightTwips() const {
    return TwipsScale::of(this).toTwipsY(height()) - PublishPanel::kHeight;
}

void Frm_HTMLOutput::setRunningHeight(bool running) {
    placePublishPanel(running ? kRunningHeight : kIdleHeight);
    if (running) {
        m_albumBar->setValue(0);
        m_pictureBar->setValue(0);
        m_albums->clear();
        // Looking at the main window is allowed while the run goes on.
        setBlocksMainWindow(false);
    }
}

void Frm_HTMLOutput::setBlocksMainWindow(bool blocks) {
    const Qt::WindowModality wanted = blocks ? Qt::ApplicationModal : Qt::NonModal;
    if (windowModality() == wanted) return;
    // A shown window takes a new modality only when shown again.
    const bool shown = isVisible();
    const QPoint at = pos();
    if (shown) QWidget::setVisible(false);
    setWindowModality(wanted);
    if (shown) {
        move(at);
        QWidget::setVisible(true);
    }
}

void Frm_HTMLOutput::setRunControlsEnabled(bool enabled) {
    // The run keeps the folder and the treatment it started with.
    m_output->setReadOnly(!enabled);
    m_browse->setEnabled(enabled);
    m_start->setEnabled(enabled);
    for (const auto& option : m_options) option.first->setEnabled(enabled);
    m_publish->setEnabled(enabled);
}

void Frm_HTMLOutput::Cmd_参照_Click() {
    const std::string chosen = BrowseForFolder(this, m_output->text().toStdString(), "フォルダを選択してください");
    if (!chosen.empty()) m_output->setText(q(chosen));
}

void Frm_HTMLOutput::Cmd_HTML出力_Click() {
    if (m_running || m_publish->busy()) return;
    m_running = true;
    m_stopAsked = m_closeAfter = m_closeMainAfter = false;
    m_cancel->setText(QStringLiteral("中止"));
    m_shared = std::make_shared<Shared>();
    m_main.setRunInProgress(true, [this] {
        if (!askStop(true)) return;
        if (m_running) m_closeMainAfter = true;
        else QTimer::singleShot(0, m_main.hostWidget(), [main = m_main.hostWidget()] { main->close(); });  // it ended meanwhile
    });
    setRunControlsEnabled(false);

    std::string output = m_output->text().toStdString();
    ExistingAlbumPolicy existing = ExistingAlbumPolicy::Ask;
    for (const auto& [button, policy] : m_options)
        if (button->isChecked()) existing = policy;
    m_run = m_pool.submit([form = this, shared = m_shared, imageFolder = m_main.imageFolder(),
                           shown = m_main.listedAlbumFolders(), output = std::move(output), existing,
                           settings = m_main.settings(), pool = &m_pool] {
        // The albums the tree shows, never a folder made since; their ticks
        // and texts as stored the moment they changed.
        const ImageFolderAlbums folder = onlyAlbumsAmong(readImageFolderAlbums(imageFolder, output), shown);
        AlbumRunRequest request = albumRunRequest(folder, output, existing, settings);
        request.stopRequested = [shared] { return shared->stop.load(); };
        request.pool = pool;
        Observer observer(form, shared);
        AlbumRunResult result = GenerateAlbum(request, observer);
        if (shared->formGone) return;
        QMetaObject::invokeMethod(
            form, [form, result = std::move(result)] { form->onRunEnded(result); }, Qt::QueuedConnection);
    });
}

bool Frm_HTMLOutput::askStop(bool closeAfter) {
    if (m_stopAsked) {
        m_closeAfter = m_closeAfter || closeAfter;
        return true;
    }
    const bool yes = platform::ui().messageBox(this, stopQuestionText(), kApplicationTitle, MsgButtons::YesNo,
                                               MsgIcon::Question) == MsgResult::Yes;
    if (!yes) return false;
    if (!m_running) {  // the run ended while the question was open
        if (closeAfter) QDialog::reject();
        return true;
    }
    m_stopAsked = true;
    m_closeAfter = closeAfter;
    m_shared->stop = true;
    m_cancel->setEnabled(false);
    return true;
}

void Frm_HTMLOutput::Cmd_キャンセル_Click() {
    if (m_running) askStop(false);
    else reject();
}

void Frm_HTMLOutput::reject() {
    // The window frame's close and Escape during a run ask the same.
    if (m_running) askStop(true);
    else if (!m_publish->busy()) QDialog::reject();
    else if (m_publish->askStop()) m_closeAfter = true;  // closes when the publish has ended
}

void Frm_HTMLOutput::done(int result) {
    if (m_running || m_publish->busy()) return;
    m_main.settings().outputFolder = outputFolderSetting(m_output->text().toStdString());
    QDialog::done(result);
}

void Frm_HTMLOutput::onRunEnded(const AlbumRunResult& result) {
    m_running = false;
    m_main.setRunInProgress(false);
    setRunControlsEnabled(true);
    m_cancel->setEnabled(true);
    m_cancel->setText(QStringLiteral("キャンセル"));
    if (result.finished) {
        m_albums->clear();
        m_pictures->clear();
        emit runEnded(true);
        if (!m_closeMainAfter && publishAfterRun()) return;
        done(QDialog::Accepted);
    } else {
        if (result.stoppedByRequest)
            platform::ui().messageBox(this, stoppedRunText(result), kApplicationTitle, MsgButtons::Ok,
                                      MsgIcon::Information);
        setRunningHeight(false);
        setBlocksMainWindow(true);
        emit runEnded(false);
        if (m_closeAfter || m_closeMainAfter) done(QDialog::Rejected);
    }
    if (m_closeMainAfter) QTimer::singleShot(0, m_main.hostWidget(), [main = m_main.hostWidget()] { main->close(); });
}

void Frm_HTMLOutput::onAlbumsListed(const std::vector<std::string>& entries) {
    m_albums->clear();
    for (const std::string& e : entries) m_albums->addItem(q(e));
    m_albumBar->setRange(0, std::max<int>(1, int(entries.size())));
    m_albumBar->setValue(0);
}

void Frm_HTMLOutput::onAlbumStarted(int index) {
    m_albums->setCurrentRow(index);
    m_pictures->clear();
    m_pictureBar->setRange(0, 1);
    m_pictureBar->setValue(0);
}

void Frm_HTMLOutput::onPicturesListed(const std::vector<std::string>& names) {
    for (const std::string& n : names) m_pictures->addItem(q(n));
    // No pictures: an empty bar (a zero range would show a busy bar).
    m_pictureBar->setRange(0, std::max<int>(1, int(names.size())));
    m_pictureBar->setValue(0);
}

void Frm_HTMLOutput::onPictureStarted(int index) { m_pictures->setCurrentRow(index); }

void Frm_HTMLOutput::onPictureDone(int index) { m_pictureBar->setValue(index + 1); }

void Frm_HTMLOutput::onAlbumDone(int index) { m_albumBar->setValue(index + 1); }

void Frm_HTMLOutput::addPublishPanel() {
    m_publish = new PublishPanel(this, m_pool, [this] { return m_output->text().toStdString(); });
    connect(m_output, &QLineEdit::editingFinished, m_publish, &PublishPanel::loadStoredTarget);
    // The run keeps away from a folder that is being published, and the
    // publish keeps the folder it started with.
    connect(m_publish, &PublishPanel::busyChanged, this, [this](bool busy) {
        m_start->setEnabled(!busy);
        m_browse->setEnabled(!busy);
        m_output->setReadOnly(busy);
        for (const auto& option : m_options) option.first->setEnabled(!busy);
    });
    connect(m_publish, &PublishPanel::publishEnded, this, [this] {
        if (m_closeAfter) done(QDialog::Rejected);
    });
}

void Frm_HTMLOutput::placePublishPanel(int formHeightTwips) {
    const TwipsScale s = TwipsScale::of(this);
    setFixedSize(s.toPixelsX(kWidth), s.toPixelsY(formHeightTwips + PublishPanel::kHeight));
    setTwipsGeometry(m_publish, {120, formHeightTwips, kWidth - 240, PublishPanel::kHeight});
    m_publish->raise();
}

bool Frm_HTMLOutput::publishAfterRun() {
    // Only after a finished run: a stopped or failed one never publishes.
    if (!m_publish->publishAfterRun()) return false;
    setRunningHeight(false);
    setBlocksMainWindow(true);
    m_closeAfter = false;
    m_publish->Cmd_公開_Click();
    return true;
}

void showAlbumOutputForm(AlbumRunHost& main) {
    auto* form = new Frm_HTMLOutput(main);
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    form->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(form, &QDialog::finished, &loop, &QEventLoop::quit);
    form->show();
    loop.exec();
    delete form;
}

}  // namespace mirofoto::albumoutput_ui
