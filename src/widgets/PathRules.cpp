#include "widgets/PathRules.h"

#include <QDir>

QString PathRules::resolveFolder(const QString& value)
{
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + value);
}

QString PathRules::fullName(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}
