#include "app/settings/album_settings.h"

namespace mirofoto {

AlbumSettings AlbumSettings::defaults() {
    AlbumSettings s;
    s.columns = 4;
    s.thumbWidth = 120;
    s.thumbHeight = 90;
    s.thumbQuality = 60;
    s.largeWidth = 480;
    s.largeHeight = 360;
    s.largeQuality = 90;
    s.thumbShowFileName = s.thumbShowDate = s.thumbShowComment = 1;
    s.largeShowFileName = s.largeShowDate = s.largeShowComment = 1;
    for (PageStyle& p : s.pages) {
        p.textColor = 8388608;         // 0x800000: blue 128
        p.linkColor = 16711680;        // 0xFF0000: blue 255
        p.activeLinkColor = p.linkColor;
        p.visitedLinkColor = 255;      // red 255
        p.useBackgroundColor = true;
        p.backgroundColor = 12648384;  // 0xC0FFC0
    }
    return s;
}

}  // namespace mirofoto
