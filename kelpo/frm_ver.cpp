#include "kelpo/frm_ver.h"

#include "platform/twips.h"
#include "platform/ui_services.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QThread>

#include <memory>
#include <new>

namespace kelpo {
namespace {

// The dialog's geometry in twips: client width and height, then each
// control's left, top, width and height.
constexpr int kFormWidth = 5535;
constexpr int kFormHeight = 2460;
struct TwipRect {
    int left, top, width, height;
};
constexpr TwipRect kRectPGName{240, 180, 5055, 390};
constexpr TwipRect kRectPGVersion{240, 600, 5055, 255};
constexpr TwipRect kRectCopyright{240, 960, 5055, 255};
constexpr TwipRect kRectHomePage{240, 1320, 1200, 255};
constexpr TwipRect kRectURL{1500, 1320, 3795, 255};
constexpr TwipRect kRectOK{3855, 1860, 1440, 420};

const char* const kFontFamily = "ＭＳ Ｐゴシック";
// Installed stand-ins for the font above, best first; fonts-ipafont-gothic
// brings the first two names of the same proportional face.
const char* const kFallbackFamilies[] = {"IPAPGothic", "IPA Pゴシック", "IPAGothic", "Noto Sans CJK JP"};

QString fontFamily() {
    const QStringList families = QFontDatabase::families();
    const QString wanted = QString::fromUtf8(kFontFamily);
    if (families.contains(wanted)) return wanted;
    for (const char* name : kFallbackFamilies)
        if (families.contains(QString::fromUtf8(name))) return QString::fromUtf8(name);
    return wanted;  // leave the choice of a substitute to the font system
}

QFont dialogFont(double points, bool bold = false, bool italic = false, bool underline = false) {
    QFont font(fontFamily());
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

// A label that reports a click (left button pressed and released on it).
class UrlLabel final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        m_pressed = event->button() == Qt::LeftButton;
        QLabel::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool click =
            m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        m_pressed = false;
        QLabel::mouseReleaseEvent(event);
        // The shell's answer is of no interest: a failure is not reported.
        if (click) platform::ui().openDocument(static_cast<QWidget*>(window()), text().toStdString());
    }

private:
    bool m_pressed = false;
};

class FrmVer final : public QDialog {
public:
    FrmVer() {
        setObjectName("Frm_Ver");
        setWindowTitle(QString::fromUtf8("バージョン情報"));
        setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
        setFont(dialogFont(9));

        const QScreen* screen = QGuiApplication::primaryScreen();
        m_twipsPerPixel = platform::twipsPerPixel(screen ? screen->logicalDotsPerInch() : 96.0);
        setFixedSize(px(kFormWidth), px(kFormHeight));

        m_name = addLabel<QLabel>("Lbl_PGName", "プログラム名", kRectPGName);
        m_name->setFont(dialogFont(14.25, true, true));
        m_version = addLabel<QLabel>("Lbl_PGVersion", "バージョン", kRectPGVersion);
        m_version->setFont(dialogFont(9.75));
        addLabel<QLabel>("Lbl_Copyright", kCopyright, kRectCopyright);
        addLabel<QLabel>("Lbl_HomePage", "ホームページ", kRectHomePage);
        QLabel* url = addLabel<UrlLabel>("Lbl_URL", kHomePageUrl, kRectURL);
        url->setFont(dialogFont(9, false, false, true));
        url->setCursor(Qt::PointingHandCursor);
        QPalette palette = url->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        url->setPalette(palette);

        auto* ok = new QPushButton(QString::fromUtf8("Ｏ　Ｋ"), this);
        ok->setObjectName("Cmd_OK");
        place(ok, kRectOK);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }

    void setCaptions(const QString& name, const QString& version) {
        m_name->setText(name);
        m_version->setText(version);
    }

private:
    int px(int twips) const { return platform::twipsToPixels(twips, m_twipsPerPixel); }
    void place(QWidget* w, const TwipRect& r) const { w->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height)); }

    template <class Label>
    QLabel* addLabel(const char* name, const char* caption, const TwipRect& r) {
        auto* label = new Label(QString::fromUtf8(caption), this);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(label, r);
        return label;
    }

    double m_twipsPerPixel = platform::kTwipsPerPixelAt96Dpi;
    QLabel* m_name = nullptr;
    QLabel* m_version = nullptr;
};

// The one instance while it is shown.
FrmVer* g_form = nullptr;

}  // namespace

HRESULT showVersionDialog(const QString& programName, const QString& version) noexcept {
    try {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app) return E_UNEXPECTED;
        if (QThread::currentThread() != app->thread()) return RPC_E_WRONG_THREAD;
        if (g_form) return kFormAlreadyShown;
        // Made afresh with the initial captions each time and destroyed
        // here, synchronously: nothing of the module's code may be left to
        // a later event once the call returns.
        auto form = std::make_unique<FrmVer>();
        form->setCaptions(programName, version);
        g_form = form.get();
        form->exec();
        g_form = nullptr;
        return S_OK;
    } catch (const std::bad_alloc&) {
        g_form = nullptr;
        return E_OUTOFMEMORY;
    } catch (...) {
        g_form = nullptr;
        return E_UNEXPECTED;
    }
}

}  // namespace kelpo
