// Texts between the core (UTF-8 bytes, which for names copied from other
// systems may not be UTF-8) and Qt (UTF-16).
#pragma once

#include "platform/codepage.h"

#include <QString>

#include <string>
#include <string_view>

namespace mirofoto::mainwindow {

/// A path or a name as a QString that gives back the same bytes (pathBytes):
/// for keys and tags that go back into the settings or the file system.
inline QString pathText(std::string_view bytes) {
    const std::u16string u = platform::pathToUtf16(bytes);
    return QString(reinterpret_cast<const QChar*>(u.data()), static_cast<qsizetype>(u.size()));
}

inline std::string pathBytes(const QString& text) {
    return platform::pathFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                       static_cast<std::size_t>(text.size())));
}

/// A name as the user sees it: bytes that are not UTF-8 shown as "\xNN",
/// never dropped or turned into replacement characters.
inline QString shownName(std::string_view bytes) { return QString::fromStdString(platform::displayName(bytes)); }

}  // namespace mirofoto::mainwindow
