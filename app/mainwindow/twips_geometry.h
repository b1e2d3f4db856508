// The one conversion between the windows' twips and the screen's pixels.
// Every control placed in twips keeps its twips rectangle, as the forms'
// controls do, so the layout reads back exactly what it set and never the
// rounded pixels.
#pragma once

#include "app/mainwindow/frame_layout.h"

class QWidget;

namespace mirofoto::mainwindow {

/// Twips per pixel of the screen, horizontally and vertically.
struct TwipsScale {
    double x = 15.0;
    double y = 15.0;

    /// The factors of the screen the widget is on (or of the primary one).
    static TwipsScale of(const QWidget* widget);

    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;
    int toTwipsX(int pixels) const;
    int toTwipsY(int pixels) const;
};

/// Places the widget at a twips rectangle (its edges rounded to pixels, so
/// neighbours stay neighbours) and remembers the rectangle.
void setTwipsGeometry(QWidget* widget, const TwipsRect& rect);
/// The rectangle last set; for a widget never placed in twips, its pixel
/// geometry converted.
TwipsRect twipsGeometry(const QWidget* widget);

}  // namespace mirofoto::mainwindow
