#include "app/mainwindow/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace mirofoto::mainwindow {

bool installQtJapanese(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // By file name, not by the user's locale: the program speaks Japanese
    // under any LANG.
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

}  // namespace mirofoto::mainwindow
