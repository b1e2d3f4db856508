// How a picture is turned for its copies: the one rule the album run, the
// update decision, `generate` and the window's previews all follow.
#pragma once

#include <optional>

namespace mirofoto {

/// A horizontal mirror (applied first) followed by a right turn of 0, 90,
/// 180 or 270 degrees.
struct PictureTurn {
    bool mirror = false;
    int turn = 0;
    friend bool operator==(const PictureTurn&, const PictureTurn&) = default;
};

/// What an EXIF Orientation (1 … 8) asks for to show the picture upright:
/// 2, 4, 5 and 7 are mirrored, then 3 and 4 turn by 180, 6 and 7 by 90, 5
/// and 8 by 270. Any other value (no tag, 0, 9, garbage) asks for nothing.
PictureTurn orientationTurn(int orientation);

/// The mirror and turn a picture's copies get. storedTurn is the turn the
/// user stored for it (nothing when none is stored; a stored text that is
/// no quarter turn counts as 0). Following the orientation, the mirror of
/// the orientation is always applied and the stored turn, when there is
/// one, replaces the orientation's turn. Not following it, only the stored
/// turn counts.
PictureTurn pictureTurn(std::optional<int> storedTurn, int orientation, bool followOrientation);

/// How a picture's copies are turned: fitted into their boxes and then
/// turned by the stored turn (not following the orientation: the copies of
/// the specified order, byte for byte), or mirrored and turned before they
/// are fitted (following it).
struct CopyTurn {
    bool beforeBox = false;
    PictureTurn turn;  ///< beforeBox false: no mirror, the stored turn
    friend bool operator==(const CopyTurn&, const CopyTurn&) = default;
};
/// pictureTurn() and the way it is applied. orientation is only looked at
/// when followOrientation is set (it may then be read lazily by the caller).
CopyTurn copyTurn(std::optional<int> storedTurn, int orientation, bool followOrientation);

}  // namespace mirofoto
