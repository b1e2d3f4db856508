#include "app/mainwindow/menu_page.h"

#include "app/mainwindow/qt_text.h"
#include "app/mainwindow/twips_geometry.h"

#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>

namespace mirofoto::mainwindow {
namespace {

constexpr const char* kTag = "tag";

QString tagOf(const QWidget* w) { return w->property(kTag).toString(); }
void setTag(QWidget* w, const QString& tag) { w->setProperty(kTag, tag); }

QString fromUtf8(const std::string& s) { return QString::fromStdString(s); }

QFont scaledFont(const QFont& base, double points, bool bold, bool underline) {
    QFont f = base;
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

}  // namespace

QString trimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.mid(begin, end - begin);
}

// ---- MenuPage ----

MenuPage::MenuPage(QWidget* parent)
    : StyledPage(QStringLiteral("Pic_メニューページ"), QStringLiteral("Img_メニューBG"), parent),
      m_title(new QLabel(QStringLiteral("（タイトル）"), clipArea())),
      m_titleButton(new QPushButton(QStringLiteral("← タイトルを入力"), clipArea())),
      m_subtitle(new QLabel(QStringLiteral("（サブタイトル）"), clipArea())),
      m_subtitleButton(new QPushButton(QStringLiteral("← サブタイトルを入力"), clipArea())),
      m_rule(new QFrame(clipArea())),
      m_input(new InputBox(clipArea())),
      m_scroll(new QScrollBar(Qt::Vertical, this)) {
    setAccessibleName(QStringLiteral("メニューページ"));
    m_title->setObjectName(QStringLiteral("Lbl_メニュータイトル"));
    m_titleButton->setObjectName(QStringLiteral("Cmd_タイトルを入力"));
    m_subtitle->setObjectName(QStringLiteral("Lbl_メニューサブタイトル"));
    m_subtitleButton->setObjectName(QStringLiteral("Cmd_サブタイトルを入力"));
    m_rule->setObjectName(QStringLiteral("Lin_メニュー"));
    m_input->setObjectName(QStringLiteral("Txt_インプットボックス"));
    m_scroll->setObjectName(QStringLiteral("VScroll_メニュー"));

    // The generated page shows the title and subtitle as its two headings.
    asPageHtml(m_title);
    asPageHtml(m_subtitle);
    m_title->setFont(scaledFont(font(), 24, true, false));
    m_subtitle->setFont(scaledFont(font(), 18, true, false));
    m_titleButton->setAccessibleName(QStringLiteral("タイトルを入力"));
    m_subtitleButton->setAccessibleName(QStringLiteral("サブタイトルを入力"));
    m_rule->setFrameShape(QFrame::HLine);
    m_rule->setFrameShadow(QFrame::Sunken);
    m_scroll->setAccessibleName(QStringLiteral("メニューページのスクロール"));
    m_scroll->setRange(0, 0);
    m_scroll->setSingleStep(1);
    m_scroll->setPageStep(1);
    m_input->setText(QStringLiteral("（インプットボックス）"));
    m_input->hide();

    connect(m_titleButton, &QPushButton::clicked, this, &MenuPage::editTitle);
    connect(m_subtitleButton, &QPushButton::clicked, this, &MenuPage::editSubtitle);
    connect(m_input, &InputBox::lostFocus, this, &MenuPage::finishEdit);
    connect(m_input, &InputBox::commitRequested, this, [this] {
        // Back to the button that started the edit; leaving the box ends it.
        QWidget* button = m_editTarget < 0 ? (tagOf(m_input) == m_subtitle->objectName() ? m_subtitleButton
                                                                                           : m_titleButton)
                                           : m_entries[m_editTarget].button;
        button->setFocus(Qt::OtherFocusReason);
        finishEdit();
    });
    connect(m_input, &InputBox::cancelRequested, this, [this] {
        const QString name = tagOf(m_input);
        if (m_editTarget < 0) m_input->setText((name == m_subtitle->objectName() ? m_subtitle : m_title)->text());
        else m_input->setText(m_entries[m_editTarget].link->text());
        emit m_input->commitRequested();
    });
    connect(m_scroll, &QScrollBar::valueChanged, this, &MenuPage::placeControls);

    m_entries.push_back(makeEntry(0));
    m_entries[0].bullet->hide();
    m_entries[0].link->hide();
    m_entries[0].button->hide();
}

MenuPage::Entry MenuPage::makeEntry(int index) {
    Entry e;
    e.bullet = new QLabel(QStringLiteral("●"), clipArea());
    e.bullet->setObjectName(QStringLiteral("Lbl_メニューDot"));
    e.bullet->setAccessibleName(QStringLiteral("●"));
    e.link = new LinkLabel(clipArea());
    e.link->setObjectName(QStringLiteral("Lbl_メニュー"));
    asPageHtml(e.link);
    e.link->setText(index == 0 ? QStringLiteral("（メニュー）") : QString());
    e.link->setFont(scaledFont(font(), 12, false, true));
    e.button = new QPushButton(QStringLiteral("← メニューを入力"), clipArea());
    e.button->setObjectName(QStringLiteral("Cmd_メニューを入力"));
    e.button->setAccessibleName(QStringLiteral("メニューを入力"));
    for (QWidget* w : {static_cast<QWidget*>(e.bullet), static_cast<QWidget*>(e.link),
                       static_cast<QWidget*>(e.button)})
        w->setProperty("index", index);
    connect(e.link, &LinkLabel::activated, this, [this, link = e.link] { emit albumLinkActivated(tagOf(link)); });
    connect(e.button, &QPushButton::clicked, this, [this, index] { editEntry(index); });
    setForeground(e.bullet, toQColor(m_style.textColor));
    setForeground(e.link, toQColor(m_style.linkColor));
    return e;
}

void MenuPage::noteStored(bool ok) {
    ++m_stores;
    if (ok) emit stored();
}

void MenuPage::setTitleCaption(QLabel* label, const QString& caption, bool subtitle) {
    if (label->text() == caption) return;
    label->setText(caption);
    label->setAccessibleName(plainTextOf(caption));
    // Display and clear set tag and caption alike; only an edit stores.
    if (caption == tagOf(label)) return;
    setTag(label, caption);
    const std::string text = caption.toStdString();
    noteStored(m_store && (subtitle ? m_store->setMenuSubtitle(text) : m_store->setMenuTitle(text)));
}

void MenuPage::setEntryCaption(int index, const QString& caption, const std::string* stored) {
    LinkLabel* link = m_entries[index].link;
    if (link->text() == caption) return;
    link->setText(caption);
    link->setAccessibleName(plainTextOf(caption));
    m_entries[index].button->setAccessibleName(QStringLiteral("メニューを入力: ") + plainTextOf(caption));
    const QString key = tagOf(link);
    if (key.isEmpty()) return;
    const std::string text = caption.toStdString();
    if (stored && *stored == text) return;  // the file holds it already
    noteStored(m_store && m_store->setMenuEntry(pathBytes(key), text));
}

void MenuPage::clear() {
    finishEdit();
    for (std::size_t i = m_entries.size(); i-- > 1;) {
        delete m_entries[i].bullet;
        delete m_entries[i].link;
        delete m_entries[i].button;
    }
    m_entries.resize(1);
    m_entryCount = 0;
    for (QLabel* label : {m_title, m_subtitle}) {
        setTag(label, QString());
        setTitleCaption(label, QString(), label == m_subtitle);
    }
    Entry& e = m_entries[0];
    setTag(e.link, QString());
    setEntryCaption(0, QString());
    e.link->hide();
    e.bullet->hide();
    e.button->hide();
}

void MenuPage::display(const std::vector<MenuEntry>& entries, bool storeDefaults) {
    const QString title = fromUtf8(m_store ? m_store->menuTitle() : std::string());
    setTag(m_title, title);
    setTitleCaption(m_title, title, false);
    const QString subtitle = fromUtf8(m_store ? m_store->menuSubtitle() : std::string());
    setTag(m_subtitle, subtitle);
    setTitleCaption(m_subtitle, subtitle, true);

    m_entryCount = static_cast<int>(entries.size());
    for (int i = 0; i < m_entryCount; ++i) {
        if (i >= static_cast<int>(m_entries.size())) m_entries.push_back(makeEntry(i));
        Entry& e = m_entries[i];
        setTag(e.link, pathText(entries[i].key));
        const QString caption = shownName(entries[i].caption);
        // Shown as if stored: setEntryCaption writes only what differs.
        const std::string unstored = caption.toStdString();
        const bool keep = storeDefaults || !entries[i].stored.empty();
        setEntryCaption(i, caption, keep ? &entries[i].stored : &unstored);
        e.bullet->show();
        e.link->show();
        e.button->show();
    }
    // A folder without albums makes no menu page: nothing of it is shown.
    for (QWidget* w : {static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_titleButton),
                       static_cast<QWidget*>(m_subtitle), static_cast<QWidget*>(m_subtitleButton),
                       static_cast<QWidget*>(m_rule)})
        w->setVisible(m_entryCount > 0);
    // Tab order follows the page from top to bottom.
    QWidget* previous = m_subtitleButton;
    setTabOrder(m_titleButton, m_subtitleButton);
    for (int i = 0; i < m_entryCount; ++i) {
        setTabOrder(previous, m_entries[i].link);
        setTabOrder(m_entries[i].link, m_entries[i].button);
        previous = m_entries[i].button;
    }
    setTabOrder(previous, m_scroll);
}

void MenuPage::layoutPage(const PageStyle& style, int scrollBarWidth) {
    m_style = style;
    m_scrollBarWidth = scrollBarWidth;
    applyStyle(style);
    const QColor text = toQColor(style.textColor), link = toQColor(style.linkColor);
    setForeground(m_title, text);
    setForeground(m_subtitle, text);
    for (Entry& e : m_entries) {
        setForeground(e.bullet, text);
        setForeground(e.link, link);
    }
    placeControls();
}

void MenuPage::placeControls() {
    const TwipsRect page = twipsGeometry(this);
    // A smaller maximum moves the value, which places the controls again.
    m_scroll->setMaximum(menuScrollMaximum(m_entryCount, page.height));
    const MenuPageLayout at = menuPageLayout(page.width, page.height, m_entryCount, m_scroll->value(),
                                             m_scrollBarWidth);
    setTwipsGeometry(m_scroll, at.scrollBar);
    setClipArea(at.scrollBar.left, page.height);
    setTwipsGeometry(m_title, at.title);
    setTwipsGeometry(m_titleButton, at.titleButton);
    setTwipsGeometry(m_subtitle, at.subtitle);
    setTwipsGeometry(m_subtitleButton, at.subtitleButton);
    setTwipsGeometry(m_rule, {at.ruleLeft, at.ruleTop - 15, at.ruleRight - at.ruleLeft, 30});
    for (int i = 0; i < m_entryCount; ++i) {
        setTwipsGeometry(m_entries[i].bullet, at.entries[i].bullet);
        setTwipsGeometry(m_entries[i].link, at.entries[i].link);
        setTwipsGeometry(m_entries[i].button, at.entries[i].button);
    }
    if (m_input->isVisible()) {
        const QString name = tagOf(m_input);
        QWidget* label = m_editTarget >= 0 ? m_entries[m_editTarget].link
                         : name == m_subtitle->objectName() ? m_subtitle
                                                            : m_title;
        setTwipsGeometry(m_input, twipsGeometry(label));
    }
}

void MenuPage::editTitle() { startEdit(m_title, -1); }
void MenuPage::editSubtitle() { startEdit(m_subtitle, -1); }
void MenuPage::editEntry(int index) {
    if (index >= 0 && index < m_entryCount) startEdit(m_entries[index].link, index);
}

void MenuPage::startEdit(QLabel* label, int target) {
    finishEdit();
    setTwipsGeometry(m_input, twipsGeometry(label));
    m_input->setText(label->text());
    m_input->setFont(label->font());  // the text keeps its size while it is edited
    setTag(m_input, label->objectName());
    m_input->setAccessibleName(target >= 0 ? QStringLiteral("メニュー")
                               : label == m_subtitle ? QStringLiteral("サブタイトル")
                                                     : QStringLiteral("タイトル"));
    m_editTarget = target;
    m_input->show();
    m_input->raise();
    m_input->setFocus(Qt::OtherFocusReason);
    m_input->setCursorPosition(static_cast<int>(m_input->text().size()));
}

void MenuPage::finishEdit() {
    if (!m_input->isVisible()) return;
    m_input->hide();
    const QString text = trimSpaces(m_input->text());
    const QString name = tagOf(m_input);
    if (m_editTarget < 0) {
        if (name == m_subtitle->objectName()) setTitleCaption(m_subtitle, text, true);
        else setTitleCaption(m_title, text, false);
    } else if (m_editTarget < static_cast<int>(m_entries.size())) {
        setEntryCaption(m_editTarget, text);
    }
}

void MenuPage::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) m_scroll->setValue(m_scroll->value() - steps);
    event->accept();
}

}  // namespace mirofoto::mainwindow
