#include "support/FakeOpener.h"

#include <QFile>
#include <stdexcept>

FakeOpener::FakeOpener() : m_oldPath(qgetenv("PATH"))
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    QFile script(m_dir.filePath(QStringLiteral("xdg-open")));
    if (!script.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the fake xdg-open");
    script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/requests.log\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_oldPath);
}

FakeOpener::~FakeOpener()
{
    qputenv("PATH", m_oldPath);
}

QStringList FakeOpener::requests() const
{
    QFile log(m_dir.filePath(QStringLiteral("requests.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
