// Frm_Options, the options dialog: the album settings record edited on six
// tabs, taken back by OK and 更新 (設定反映) and left alone by ｷｬﾝｾﾙ. The
// rules it follows without a window are in app/settings/options_fields.h.
#pragma once

#include "app/settings/album_settings.h"
#include "app/settings/options_fields.h"

#include <QDialog>
#include <QLabel>

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabBar;

namespace mirofoto::settings_ui {

/// A colour swatch: a label showing the colour; releasing the left button
/// over it asks for another.
class ColourSwatch : public QLabel {
    Q_OBJECT
public:
    explicit ColourSwatch(QWidget* parent);
    Colour colour() const { return m_colour; }
    void setColour(Colour colour);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Colour m_colour = 0;
};

class Frm_Options : public QDialog {
    Q_OBJECT
public:
    /// The dialog over the record; setRedraw sets or clears RedrawThumbnails.
    Frm_Options(AlbumSettings& settings, std::function<void(bool)> setRedraw, QWidget* parent = nullptr);

    /// 設定反映: the fields into the record. False (nothing stored) when a
    /// number lies outside its range; the user was told which box and it has
    /// the focus.
    bool 設定反映();
    /// Shows the page of the selected tab and moves the others out of sight.
    void tbsOptions_Click();
    void selectNextTab();

    QTabBar* tabs() const { return m_tabs; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildImagePage();
    QWidget* buildColourPage();
    QWidget* buildCaptionPage();
    QWidget* buildHtmlPage(int page);
    QLineEdit* numberBox(OptionsNumber number, QWidget* parent);
    void fill();
    OptionsFields fields() const;
    void qualityChanged(OptionsNumber number);
    void chooseColour(ColourSwatch* swatch);
    void browseBackground(int page);

    AlbumSettings& m_settings;
    std::function<void(bool)> m_setRedraw;
    QTabBar* m_tabs = nullptr;
    std::vector<QWidget*> m_pages;  // picOptions
    std::array<QLineEdit*, kOptionsNumberCount> m_numbers{};
    QSlider* m_thumbSlider = nullptr;
    QSlider* m_largeSlider = nullptr;
    struct PageControls {
        ColourSwatch* text = nullptr;
        ColourSwatch* link = nullptr;
        ColourSwatch* visited = nullptr;
        QRadioButton* useColour = nullptr;
        ColourSwatch* background = nullptr;
        QRadioButton* useImage = nullptr;
        QLineEdit* image = nullptr;
        std::array<QPlainTextEdit*, 3> html{};
    };
    std::array<PageControls, 3> m_page;
    std::array<QCheckBox*, 6> m_captions{};
    QCheckBox* m_followOrientation = nullptr;  ///< EXIFの向きに従う
    std::array<QRadioButton*, 2> m_pageStyle{};  ///< classic, HTML5
    bool m_inQualityRule = false;
};

/// Shows the dialog modally over the main window's record.
void showOptionsDialog(AlbumSettings& settings, std::function<void(bool)> setRedraw, QWidget* owner);

}  // namespace mirofoto::settings_ui
