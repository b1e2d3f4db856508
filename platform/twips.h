// Lengths on forms. Forms lay out their geometry in twips (1/1440 inch); the
// screen wants pixels and OLE controls measure their extent in HIMETRIC
// (0.01 mm). Every conversion goes through these functions.
#pragma once

namespace platform {

inline constexpr int kTwipsPerInch = 1440;
/// Twips per pixel on a 96-dpi screen.
inline constexpr double kTwipsPerPixelAt96Dpi = 15.0;

/// Twips per pixel for a screen's logical resolution.
constexpr double twipsPerPixel(double dotsPerInch) {
    return dotsPerInch > 0 ? kTwipsPerInch / dotsPerInch : kTwipsPerPixelAt96Dpi;
}

/// Pixels for a length in twips, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips, double perPixel = kTwipsPerPixelAt96Dpi) {
    const double px = twips / perPixel;
    return static_cast<int>(px < 0 ? px - 0.5 : px + 0.5);
}

/// Twips for a length in pixels.
constexpr int pixelsToTwips(int pixels, double perPixel = kTwipsPerPixelAt96Dpi) {
    const double tw = pixels * perPixel;
    return static_cast<int>(tw < 0 ? tw - 0.5 : tw + 0.5);
}

/// HIMETRIC for a non-negative length in twips, rounded (2540 HIMETRIC to
/// the inch).
constexpr int twipsToHimetric(int twips) { return (twips * 2540 + kTwipsPerInch / 2) / kTwipsPerInch; }

/// Twips for a non-negative length in HIMETRIC, rounded.
constexpr int himetricToTwips(int himetric) { return (himetric * kTwipsPerInch + 1270) / 2540; }

}  // namespace platform
