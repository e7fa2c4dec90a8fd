#include "support/TempFolder.h"

#include <QFile>
#include <stdexcept>

TempFolder::TempFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

QString TempFolder::filePath(const QString& name) const
{
    return m_dir.filePath(name);
}

QString TempFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write a fixture file");
    return path;
}
