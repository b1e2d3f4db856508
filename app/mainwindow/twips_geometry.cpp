#include "app/mainwindow/twips_geometry.h"

#include "platform/twips.h"

#include <algorithm>

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QVariant>
#include <QWidget>

namespace mirofoto::mainwindow {
namespace {

constexpr const char* kProperty = "twipsGeometry";

}  // namespace

TwipsScale TwipsScale::of(const QWidget* widget) {
    const QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {platform::twipsPerPixel(screen->logicalDotsPerInchX()),
            platform::twipsPerPixel(screen->logicalDotsPerInchY())};
}

int TwipsScale::toPixelsX(int twips) const { return platform::twipsToPixels(twips, x); }
int TwipsScale::toPixelsY(int twips) const { return platform::twipsToPixels(twips, y); }
int TwipsScale::toTwipsX(int pixels) const { return platform::pixelsToTwips(pixels, x); }
int TwipsScale::toTwipsY(int pixels) const { return platform::pixelsToTwips(pixels, y); }

void setTwipsGeometry(QWidget* widget, const TwipsRect& r) {
    const TwipsScale s = TwipsScale::of(widget);
    const int left = s.toPixelsX(r.left);
    const int top = s.toPixelsY(r.top);
    const int right = s.toPixelsX(r.left + r.width);
    const int bottom = s.toPixelsY(r.top + r.height);
    widget->setProperty(kProperty, QRect(r.left, r.top, r.width, r.height));
    widget->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

TwipsRect twipsGeometry(const QWidget* widget) {
    const QVariant v = widget->property(kProperty);
    if (v.isValid()) {
        const QRect r = v.toRect();
        return {r.x(), r.y(), r.width(), r.height()};
    }
    const TwipsScale s = TwipsScale::of(widget);
    const QRect g = widget->geometry();
    return {s.toTwipsX(g.x()), s.toTwipsY(g.y()), s.toTwipsX(g.width()), s.toTwipsY(g.height())};
}

}  // namespace mirofoto::mainwindow
