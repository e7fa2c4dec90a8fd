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
        // Records the request, then fails when asked to: for every request ("*") or this one.
        script.write(
            "#!/bin/sh\n"
            "dir=$(dirname \"$0\")\n"
            "printf '%s\\n' \"$*\" >> \"$dir/requests.log\"\n"
            "if [ -f \"$dir/failing\" ] && grep -qxF -e '*' -e \"$*\" \"$dir/failing\"; then\n"
            "  exit 4\n"
            "fi\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir.path()) + ':' + qgetenv("PATH"));
        ready = true;
    }
    return dir.path();
}
} // namespace

FakeOpener::FakeOpener()
    : m_log(sharedFolder() + QStringLiteral("/requests.log")),
      m_failing(sharedFolder() + QStringLiteral("/failing"))
{
    QFile::remove(m_log);
    QFile::remove(m_failing);
}

void FakeOpener::failFor(const QStringList& requests)
{
    QFile::remove(m_failing);
    if (requests.isEmpty())
        return;
    QFile list(m_failing);
    if (!list.open(QIODevice::WriteOnly) ||
        list.write((requests.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0)
        throw std::runtime_error("cannot write the fake xdg-open's failures");
}

QStringList FakeOpener::requests() const
{
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
