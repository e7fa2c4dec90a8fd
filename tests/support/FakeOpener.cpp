#include "support/FakeOpener.h"

#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

namespace {
QString sharedFolder()
{
    static QTemporaryDir dir;
    static bool ready = false;
    if (!ready) {
        if (!dir.isValid())
            throw std::runtime_error("cannot create a temporary folder");
        QFile script(dir.filePath(QStringLiteral("xdg-open")));
        if (!script.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the fake xdg-open");
        script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/requests.log\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir.path()) + ':' + qgetenv("PATH"));
        ready = true;
    }
    return dir.path();
}
} // namespace

FakeOpener::FakeOpener() : m_log(sharedFolder() + QStringLiteral("/requests.log"))
{
    QFile::remove(m_log);
}

QStringList FakeOpener::requests() const
{
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
