#include "app/settings/album_settings.h"

namespace mirofoto {

AlbumSettings AlbumSettings::defaults() {
    AlbumSettings s;
    s.columns = album_limits::columns.fallback;
    s.thumbWidth = album_limits::thumbWidth.fallback;
    s.thumbHeight = album_limits::thumbHeight.fallback;
    s.thumbQuality = album_limits::thumbQuality.fallback;
    s.largeWidth = album_limits::largeWidth.fallback;
    s.largeHeight = album_limits::largeHeight.fallback;
    s.largeQuality = album_limits::largeQuality.fallback;
    s.thumbShowFileName = s.thumbShowDate = s.thumbShowComment = 1;
    s.largeShowFileName = s.largeShowDate = s.largeShowComment = 1;
    s.followOrientation = 1;
    for (PageStyle& p : s.pages) {
        p.textColor = kDefaultTextColour;
        p.linkColor = kDefaultLinkColour;
        p.activeLinkColor = p.linkColor;
        p.visitedLinkColor = kDefaultVisitedColour;
        p.useBackgroundColor = true;
        p.backgroundColor = kDefaultBackground;
    }
    return s;
}

}  // namespace mirofoto
