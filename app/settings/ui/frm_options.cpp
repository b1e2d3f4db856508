#include "app/settings/ui/frm_options.h"

#include "app/mainwindow/twips_geometry.h"
#include "app/settings/settings_files.h"
#include "app/util/paths.h"
#include "platform/ui_services.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QVBoxLayout>

#include <filesystem>

namespace mirofoto::settings_ui {

using mainwindow::setTwipsGeometry;
using mainwindow::TwipsScale;

namespace {

constexpr int kDialogWidth = 7875;
constexpr int kDialogHeight = 6510;
constexpr int kPageLeft = 210;
constexpr int kPageTop = 675;
constexpr int kPageWidth = 7335;
constexpr int kPageHeight = 4935;
constexpr int kOutOfSight = -20000;

struct TabRow {
    const char* caption;
    const char* key;
};
constexpr TabRow kTabs[] = {{"画像", "Tab_画像"},
                            {"色・背景", "Tab_色背景"},
                            {"表示項目", "Tab_表示項目"},
                            {"メニューページ詳細", "Tab_メニューページ詳細"},
                            {"サムネイルページ詳細", "Tab_サムネイルページ詳細"},
                            {"拡大画像ページ詳細", "Tab_拡大画像ページ詳細"}};

const char* const kSwatchTip = "変更するには、ココをクリック";
const char* const kBackgroundFilter = "JPEG／GIF|*.jpg;*.jpeg;*.gif|すべてのファイル|*.*";

QString q(const std::string& s) { return QString::fromStdString(s); }
QString q(const char* s) { return QString::fromUtf8(s); }

void setIndex(QWidget* w, const char* name, int index) {
    w->setObjectName(q(name));
    w->setProperty("index", index);
}

QLabel* label(const char* text, QWidget* parent) { return new QLabel(q(text), parent); }

}  // namespace

// ---- ColourSwatch ----

ColourSwatch::ColourSwatch(QWidget* parent) : QLabel(parent) {
    setToolTip(q(kSwatchTip));
    setAutoFillBackground(true);
    setFrameShape(QFrame::Box);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(44, 20);
    setCursor(Qt::PointingHandCursor);
}

void ColourSwatch::setColour(Colour c) {
    m_colour = c;
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)));
    setPalette(p);
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void ColourSwatch::keyPressEvent(QKeyEvent* event) {
    // The keyboard reaches the colour too.
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) emit clicked();
    else QLabel::keyPressEvent(event);
}

// ---- Frm_Options ----

Frm_Options::Frm_Options(AlbumSettings& settings, std::function<void(bool)> setRedraw, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_setRedraw(std::move(setRedraw)) {
    setObjectName(QStringLiteral("Frm_Options"));
    setWindowTitle(QStringLiteral("ミロフォト - オプション"));
    const TwipsScale s = TwipsScale::of(this);
    setFixedSize(s.toPixelsX(kDialogWidth), s.toPixelsY(kDialogHeight));

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tbsOptions"));
    m_tabs->setAccessibleName(QStringLiteral("オプションのページ"));
    m_tabs->setExpanding(false);
    m_tabs->setFocusPolicy(Qt::TabFocus);
    // The six captions in the dialog's width, without scroll buttons.
    m_tabs->setUsesScrollButtons(false);
    for (const TabRow& t : kTabs) m_tabs->setTabData(m_tabs->addTab(q(t.caption)), q(t.key));
    // A smaller font where the style's would not fit the six captions.
    const double base = m_tabs->font().pointSizeF();
    for (double f = 0.95; f > 0.7 && m_tabs->sizeHint().width() > s.toPixelsX(kDialogWidth - 240); f -= 0.05) {
        QFont small = m_tabs->font();
        small.setPointSizeF(base * f);
        m_tabs->setFont(small);
    }
    setTwipsGeometry(m_tabs, {120, 120, kDialogWidth - 240, s.toTwipsY(m_tabs->sizeHint().height())});
    // The frame the pages stand in.
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    const int tabsBottom = 120 + s.toTwipsY(m_tabs->sizeHint().height());
    setTwipsGeometry(frame, {120, tabsBottom - 15, kDialogWidth - 240, kPageTop + kPageHeight + 90 - tabsBottom});
    frame->lower();

    m_pages = {buildImagePage(), buildColourPage(), buildCaptionPage(), buildHtmlPage(int(PageKind::Menu)),
               buildHtmlPage(int(PageKind::Thumbnail)), buildHtmlPage(int(PageKind::Enlarged))};
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        setIndex(m_pages[i], "picOptions", int(i));
        setTwipsGeometry(m_pages[i], {kOutOfSight, kPageTop, kPageWidth, kPageHeight});
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* apply = new QPushButton(QStringLiteral("更新"), this);
    apply->setObjectName(QStringLiteral("cmdApply"));
    const int buttonTop = kPageTop + kPageHeight + 210;
    setTwipsGeometry(ok, {3630, buttonTop, 1275, 375});
    setTwipsGeometry(cancel, {5010, buttonTop, 1275, 375});
    setTwipsGeometry(apply, {6390, buttonTop, 1275, 375});

    connect(ok, &QPushButton::clicked, this, [this] {
        if (!設定反映()) return;
        if (m_setRedraw) m_setRedraw(true);
        accept();
    });
    connect(apply, &QPushButton::clicked, this, [this] {
        if (設定反映() && m_setRedraw) m_setRedraw(true);
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (m_setRedraw) m_setRedraw(false);
        reject();
    });
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int) { tbsOptions_Click(); });

    fill();
    m_tabs->setCurrentIndex(0);
    tbsOptions_Click();
}

QLineEdit* Frm_Options::numberBox(OptionsNumber number, QWidget* parent) {
    const OptionsNumberBox& row = optionsNumberBox(number);
    auto* box = new QLineEdit(parent);
    box->setObjectName(q(row.objectName));
    box->setAccessibleName(q(row.label));
    box->setMaxLength(row.maxLength);
    box->setMaximumWidth(TwipsScale::of(this).toPixelsX(720));
    m_numbers[int(number)] = box;
    return box;
}

QWidget* Frm_Options::buildImagePage() {
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    auto sizeRow = [&](QGridLayout* g, int row, OptionsNumber w, OptionsNumber h, const char* button) {
        g->addWidget(label("サイズ", page), row, 0);
        g->addWidget(label("横 :", page), row, 1, Qt::AlignRight);
        g->addWidget(numberBox(w, page), row, 2);
        g->addWidget(label("×　縦 :", page), row, 3, Qt::AlignRight);
        g->addWidget(numberBox(h, page), row, 4);
        auto* b = new QPushButton(QStringLiteral("お勧め設定"), page);
        b->setObjectName(q(button));
        g->addWidget(b, row, 6);
        return b;
    };
    auto qualityRow = [&](QGridLayout* g, int row, OptionsNumber n, QSlider*& slider, const char* sliderName,
                          const char* button) {
        g->addWidget(label("画質", page), row, 0);
        slider = new QSlider(Qt::Horizontal, page);
        slider->setObjectName(q(sliderName));
        slider->setRange(1, 100);
        slider->setAccessibleName(QStringLiteral("画質"));
        g->addWidget(slider, row, 1, 1, 3);
        g->addWidget(numberBox(n, page), row, 4);
        auto* b = new QPushButton(QStringLiteral("お勧め設定"), page);
        b->setObjectName(q(button));
        g->addWidget(b, row, 6);
        connect(slider, &QSlider::valueChanged, this,
                [this, n](int value) { m_numbers[int(n)]->setText(QString::number(value)); });
        connect(m_numbers[int(n)], &QLineEdit::textChanged, this, [this, n] { qualityChanged(n); });
        return b;
    };

    auto* thumbs = new QGroupBox(QStringLiteral("サムネイル"), page);
    auto* tg = new QGridLayout(thumbs);
    tg->setColumnStretch(5, 1);
    QPushButton* thumbSize = sizeRow(tg, 0, OptionsNumber::ThumbWidth, OptionsNumber::ThumbHeight,
                                     "Cmd_サムネイルサイズお勧め設定");
    tg->addWidget(label("列数", thumbs), 1, 0);
    tg->addWidget(numberBox(OptionsNumber::Columns, thumbs), 1, 2);
    QPushButton* thumbQuality = qualityRow(tg, 2, OptionsNumber::ThumbQuality, m_thumbSlider, "Sli_サムネイル画質",
                                           "Cmd_サムネイル画質お勧め設定");
    v->addWidget(thumbs);

    auto* large = new QGroupBox(QStringLiteral("拡大画像"), page);
    auto* lg = new QGridLayout(large);
    lg->setColumnStretch(5, 1);
    QPushButton* largeSize =
        sizeRow(lg, 0, OptionsNumber::LargeWidth, OptionsNumber::LargeHeight, "Cmd_拡大画像サイズお勧め設定");
    QPushButton* largeQuality = qualityRow(lg, 1, OptionsNumber::LargeQuality, m_largeSlider, "Sli_拡大画像画質",
                                           "Cmd_拡大画像画質お勧め設定");
    v->addWidget(large);
    m_followOrientation = new QCheckBox(QStringLiteral("EXIFの向きに従う"), page);
    m_followOrientation->setObjectName(QStringLiteral("Chk_EXIFの向きに従う"));
    m_followOrientation->setToolTip(
        QStringLiteral("回転を保存していない画像を、撮影時の向き（EXIF）のとおりに正しい向きで作成します"));
    v->addWidget(m_followOrientation);
    v->addStretch(1);

    auto recommend = [this](QPushButton* b, std::initializer_list<Recommended> values) {
        std::vector<Recommended> rows(values);
        connect(b, &QPushButton::clicked, this, [this, rows] {
            for (const Recommended& r : rows) m_numbers[int(r.box)]->setText(QString::number(r.value));
        });
    };
    recommend(thumbSize, {kRecommendedThumbnailSize[0], kRecommendedThumbnailSize[1]});
    recommend(largeSize, {kRecommendedLargeSize[0], kRecommendedLargeSize[1]});
    recommend(thumbQuality, {kRecommendedThumbQuality});
    recommend(largeQuality, {kRecommendedLargeQuality});
    return page;
}

QWidget* Frm_Options::buildColourPage() {
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    const char* frames[] = {"メニューページ", "サムネイルページ", "拡大画像ページ"};
    for (int p = 0; p < 3; ++p) {
        auto* box = new QGroupBox(q(frames[p]), page);
        auto* rows = new QVBoxLayout(box);
        rows->setSpacing(4);
        auto* colours = new QHBoxLayout;
        auto* background = new QHBoxLayout;
        rows->addLayout(colours);
        rows->addLayout(background);
        PageControls& c = m_page[p];
        auto swatch = [&](const char* name, const char* text, QHBoxLayout* row) {
            auto* s = new ColourSwatch(box);
            setIndex(s, name, p);
            s->setAccessibleName(q(text));
            if (text) {
                auto* l = label(text, box);
                l->setBuddy(s);
                row->addWidget(l);
            }
            row->addWidget(s);
            row->addSpacing(12);
            connect(s, &ColourSwatch::clicked, this, [this, s] { chooseColour(s); });
            return s;
        };
        c.text = swatch("Lbl_文字色", "文字色", colours);
        c.link = swatch("Lbl_リンクの色", "リンクの色", colours);
        c.visited = swatch("Lbl_リンクの色Visited", "リンクの色（クリックした後）", colours);
        colours->addStretch(1);
        c.useColour = new QRadioButton(QStringLiteral("背景色"), box);
        setIndex(c.useColour, "Opt_背景色", p);
        background->addWidget(c.useColour);
        c.background = swatch("Lbl_背景色", nullptr, background);
        c.background->setAccessibleName(QStringLiteral("背景色"));
        c.useImage = new QRadioButton(QStringLiteral("背景画像"), box);
        setIndex(c.useImage, "Opt_背景画像", p);
        background->addWidget(c.useImage);
        c.image = new QLineEdit(box);
        setIndex(c.image, "Txt_背景画像", p);
        c.image->setAccessibleName(QStringLiteral("背景画像"));
        auto* browse = new QPushButton(QStringLiteral("参照..."), box);
        setIndex(browse, "Cmd_背景画像参照", p);
        browse->setAccessibleName(QStringLiteral("背景画像の参照"));
        background->addWidget(c.image, 1);
        background->addWidget(browse);
        connect(browse, &QPushButton::clicked, this, [this, p] { browseBackground(p); });
        v->addWidget(box);
    }
    return page;
}

QWidget* Frm_Options::buildCaptionPage() {
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    const char* names[6] = {"Chk_サムネイルファイル名", "Chk_サムネイル撮影日時", "Chk_サムネイルコメント",
                            "Chk_拡大画像ファイル名",   "Chk_拡大画像撮影日時",   "Chk_拡大画像コメント"};
    const char* texts[3] = {"ファイル名", "撮影日時", "コメント"};
    const char* frames[2] = {"サムネイル", "拡大画像"};
    for (int f = 0; f < 2; ++f) {
        auto* box = new QGroupBox(q(frames[f]), page);
        auto* h = new QHBoxLayout(box);
        for (int i = 0; i < 3; ++i) {
            auto* c = new QCheckBox(q(texts[i]), box);
            c->setObjectName(q(names[f * 3 + i]));
            m_captions[f * 3 + i] = c;
            h->addWidget(c);
        }
        h->addStretch(1);
        v->addWidget(box);
    }
    // Which pages the album gets; the files and settings are the same.
    auto* style = new QGroupBox(QStringLiteral("ページ形式"), page);
    auto* h = new QVBoxLayout(style);
    const char* styles[2] = {"従来のページ", "スマートフォン・4K画面対応（HTML5）"};
    for (int i = 0; i < 2; ++i) {
        m_pageStyle[i] = new QRadioButton(q(styles[i]), style);
        setIndex(m_pageStyle[i], "Opt_ページ形式", i);
        h->addWidget(m_pageStyle[i]);
    }
    v->addWidget(style);
    v->addStretch(1);
    return page;
}

QWidget* Frm_Options::buildHtmlPage(int p) {
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    const char* labels[3] = {"<BODY>タグ直後に入れるHTML", "中央に入れるHTML", "</BODY>タグ直前に入れるHTML"};
    const char* names[3] = {"Txt_HTML1", "Txt_HTML2", "Txt_HTML3"};
    for (int h = 0; h < 3; ++h) {
        auto* l = new QLabel(q(labels[h]), page);
        l->setTextFormat(Qt::PlainText);
        auto* box = new QPlainTextEdit(page);
        setIndex(box, names[h], p);
        box->setAccessibleName(q(labels[h]));
        box->setTabChangesFocus(true);
        l->setBuddy(box);
        v->addWidget(l);
        v->addWidget(box, 1);
        m_page[p].html[h] = box;
    }
    return page;
}

void Frm_Options::fill() {
    const OptionsFields f = fieldsFromSettings(m_settings);
    for (int i = 0; i < kOptionsNumberCount; ++i) m_numbers[i]->setText(q(f.numbers[i]));
    for (int p = 0; p < 3; ++p) {
        PageControls& c = m_page[p];
        const OptionsFields::Page& page = f.pages[p];
        c.text->setColour(page.text);
        c.link->setColour(page.link);
        c.visited->setColour(page.visited);
        c.background->setColour(page.background);
        (page.useBackgroundColor ? c.useColour : c.useImage)->setChecked(true);
        c.image->setText(q(page.backgroundImage));
        for (int h = 0; h < 3; ++h) c.html[h]->setPlainText(q(htmlBlockForBox(page.html[h])));
    }
    for (int i = 0; i < 6; ++i) m_captions[i]->setChecked(f.captions[i]);
    m_followOrientation->setChecked(f.followOrientation);
    m_pageStyle[f.modernPages ? 1 : 0]->setChecked(true);
}

OptionsFields Frm_Options::fields() const {
    OptionsFields f;
    for (int i = 0; i < kOptionsNumberCount; ++i) f.numbers[i] = m_numbers[i]->text().toStdString();
    for (int p = 0; p < 3; ++p) {
        const PageControls& c = m_page[p];
        OptionsFields::Page& page = f.pages[p];
        page.text = c.text->colour();
        page.link = c.link->colour();
        page.visited = c.visited->colour();
        page.useBackgroundColor = c.useColour->isChecked();
        page.background = c.background->colour();
        page.backgroundImage = c.image->text().toStdString();
        for (int h = 0; h < 3; ++h) page.html[h] = htmlBlockFromBox(c.html[h]->toPlainText().toStdString());
    }
    for (int i = 0; i < 6; ++i) f.captions[i] = m_captions[i]->isChecked();
    f.followOrientation = m_followOrientation->isChecked();
    f.modernPages = m_pageStyle[1]->isChecked();
    return f;
}

bool Frm_Options::設定反映() {
    const ApplyOutcome out = applyFields(fields(), m_settings);
    for (int i = 0; i < kOptionsNumberCount; ++i)
        if (m_numbers[i]->text() != q(out.trimmed[i])) m_numbers[i]->setText(q(out.trimmed[i]));
    if (!out.outOfRange) return true;
    // Nothing typed is replaced: the user mends the box.
    platform::ui().messageBox(this, outOfRangeMessage(*out.outOfRange), kApplicationTitle, platform::MsgButtons::Ok,
                              platform::MsgIcon::Exclamation);
    m_tabs->setCurrentIndex(0);
    QLineEdit* box = m_numbers[int(*out.outOfRange)];
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    return false;
}

void Frm_Options::tbsOptions_Click() {
    for (int i = 0; i < int(m_pages.size()); ++i) {
        const bool selected = i == m_tabs->currentIndex();
        setTwipsGeometry(m_pages[i], {selected ? kPageLeft : kOutOfSight, kPageTop, kPageWidth, kPageHeight});
        m_pages[i]->setEnabled(selected);
    }
}

void Frm_Options::selectNextTab() { m_tabs->setCurrentIndex((m_tabs->currentIndex() + 1) % m_tabs->count()); }

void Frm_Options::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier) {
        selectNextTab();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Frm_Options::qualityChanged(OptionsNumber n) {
    if (m_inQualityRule) return;
    m_inQualityRule = true;
    QLineEdit* box = m_numbers[int(n)];
    const QualityBox rule = qualityBoxRule(box->text().toStdString(), n);
    if (box->text() != q(rule.text)) box->setText(q(rule.text));
    QSlider* slider = n == OptionsNumber::ThumbQuality ? m_thumbSlider : m_largeSlider;
    {
        const QSignalBlocker quiet(slider);  // the box keeps its text as typed
        slider->setValue(rule.value);
    }
    m_inQualityRule = false;
}

void Frm_Options::chooseColour(ColourSwatch* swatch) {
    if (const auto chosen = platform::ui().chooseColour(this, swatch->colour())) swatch->setColour(*chosen);
}

void Frm_Options::browseBackground(int p) {
    QLineEdit* box = m_page[p].image;
    const std::string folder = GetParentPath(box->text().toStdString());
    platform::FileDialogOptions o;
    std::error_code ec;
    o.initialFolder = !folder.empty() && FolderExists(folder) ? folder : std::filesystem::current_path(ec).string();
    o.filter = kBackgroundFilter;
    o.hideReadOnly = true;
    if (const auto chosen = platform::ui().openFileDialog(this, o)) box->setText(q(*chosen));
}

void showOptionsDialog(AlbumSettings& settings, std::function<void(bool)> setRedraw, QWidget* owner) {
    Frm_Options dialog(settings, std::move(setRedraw), owner);
    dialog.exec();
}

}  // namespace mirofoto::settings_ui
