// The small widgets the preview pages share: the link label and the
// in-place editor.
#pragma once

#include <QLabel>
#include <QLineEdit>

namespace mirofoto::mainwindow {

/// A label that works as a link: a left-button release, or Enter or Space
/// while it has the focus, activates it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent);
signals:
    void activated();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

/// The in-place editor: it reports losing the focus to another control of
/// the window (not to another application or a menu).
class InputBox : public QLineEdit {
    Q_OBJECT
public:
    explicit InputBox(QWidget* parent);
signals:
    /// Raised before the box takes the focus (and selects its text on Tab),
    /// so that what it shows can be brought up to date first.
    void enteringFocus();
    void lostFocus();
    void commitRequested();  ///< Enter
    void cancelRequested();  ///< Escape

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace mirofoto::mainwindow
