#include "app/albumoutput/picture_orientation.h"

namespace mirofoto {

PictureTurn orientationTurn(int orientation) {
    switch (orientation) {
    case 2: return {true, 0};
    case 3: return {false, 180};
    case 4: return {true, 180};
    case 5: return {true, 270};
    case 6: return {false, 90};
    case 7: return {true, 90};
    case 8: return {false, 270};
    default: return {};
    }
}

PictureTurn pictureTurn(std::optional<int> storedTurn, int orientation, bool followOrientation) {
    const auto quarter = [](int t) { return t == 90 || t == 180 || t == 270 ? t : 0; };
    if (!followOrientation) return {false, quarter(storedTurn.value_or(0))};
    const PictureTurn exif = orientationTurn(orientation);
    return {exif.mirror, storedTurn ? quarter(*storedTurn) : exif.turn};
}

CopyTurn copyTurn(std::optional<int> storedTurn, int orientation, bool followOrientation) {
    return {followOrientation, pictureTurn(storedTurn, orientation, followOrientation)};
}

}  // namespace mirofoto
