#include "dialogs/AppTitle.h"

#include <QCoreApplication>

QString ApplicationTitleFor(const QString& exePath)
{
    QString name = exePath.mid(exePath.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() < 2)
        return name;
    return name.left(1) + name.mid(1).toLower();
}

QString ApplicationTitle()
{
    return ApplicationTitleFor(QCoreApplication::applicationFilePath());
}
