// Frm_HTML出力 (class Frm_HTMLOutput), the album output form: the output folder, the treatment of
// album folders that exist there, and the album run with its progress. The
// run goes on a worker thread; the form shows what the run reports, asks
// the run's questions on the user-interface thread while the run waits, and
// can stop it after the picture in hand.
#pragma once

#include "app/albumoutput/album_run.h"
#include "app/albumoutput/ui/album_run_host.h"

#include <QDialog>

#include <future>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace mirofoto {
class ThreadPool;
}

namespace mirofoto::albumoutput_ui {

class PublishPanel;

class Frm_HTMLOutput : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 6555;        ///< twips
    static constexpr int kIdleHeight = 3435;   ///< twips
    static constexpr int kRunningHeight = 5820;

    explicit Frm_HTMLOutput(AlbumRunHost& main);
    ~Frm_HTMLOutput() override;

    /// Cmd_HTML出力: starts the run (never a second one).
    void Cmd_HTML出力_Click();
    /// Cmd_キャンセル: closes the form, or during a run asks whether to stop.
    void Cmd_キャンセル_Click();
    void Cmd_参照_Click();

    bool running() const { return m_running; }
    /// The form's height in twips, without the publish strip below it.
    int heightTwips() const;
    /// Whether the form keeps the main window from input (it does while idle).
    void setBlocksMainWindow(bool blocks);

signals:
    /// A run ended (finished, stopped, or stopped by its checks).
    void runEnded(bool finished);

protected:
    void done(int result) override;
    void reject() override;

private:
    class Observer;
    struct Shared;

    /// The stop question; true when the user said yes.
    bool askStop(bool closeAfter);
    void setRunningHeight(bool running);
    void setRunControlsEnabled(bool enabled);
    void onRunEnded(const AlbumRunResult& result);
    /// The publish strip under the form, and its part in the form's life.
    void addPublishPanel();
    void placePublishPanel(int formHeightTwips);
    /// After a finished run with "作成後に公開する": the publish starts and
    /// the form stays open to show it. True when it started.
    bool publishAfterRun();

    // What the run reports, on this thread.
    void onAlbumsListed(const std::vector<std::string>& entries);
    void onAlbumStarted(int index);
    void onPicturesListed(const std::vector<std::string>& names);
    void onPictureStarted(int index);
    void onPictureDone(int index);
    void onAlbumDone(int index);

    AlbumRunHost& m_main;
    QLineEdit* m_output = nullptr;
    QPushButton* m_browse = nullptr;
    std::vector<std::pair<QRadioButton*, ExistingAlbumPolicy>> m_options;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    QListWidget* m_albums = nullptr;
    QListWidget* m_pictures = nullptr;
    QProgressBar* m_albumBar = nullptr;
    QProgressBar* m_pictureBar = nullptr;
    PublishPanel* m_publish = nullptr;

    bool m_running = false;
    bool m_stopAsked = false;
    bool m_closeAfter = false;
    bool m_closeMainAfter = false;
    std::shared_ptr<Shared> m_shared;
    ThreadPool& m_pool;  ///< the main window's
    std::future<void> m_run;
};

/// The album output command: the form, modal while no run is under way;
/// returns when it closes.
void showAlbumOutputForm(AlbumRunHost& main);

}  // namespace mirofoto::albumoutput_ui
