#include "app/FrenchTranslation.h"

#include "app/ToolkitFrenchTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallFrenchTranslation()
{
    // Installed first, so asked last: it only fills the gaps of Qt's own translation.
    QCoreApplication::installTranslator(new ToolkitFrenchTexts(QCoreApplication::instance()));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_fr"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
