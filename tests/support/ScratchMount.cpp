#include "support/ScratchMount.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QString why(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

bool ScratchMount::enterOwnNamespace()
{
    static int entered = -1;
    static QString failure;
    if (entered < 0) {
        // Mounts made after this stay in this process; "/" private so none leaks back out.
        if (::unshare(CLONE_NEWNS) != 0)
            failure = why("unshare(CLONE_NEWNS)");
        else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            failure = why("making / private");
        entered = failure.isEmpty() ? 1 : 0;
    }
    m_error = failure;
    return entered == 1;
}

ScratchMount::ScratchMount(const QString& path, int kilobytes) : m_path(path)
{
    if (!enterOwnNamespace())
        return;
    QDir().mkpath(path);
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
    if (::mount("twindrop-test", QFile::encodeName(path).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        m_error = why("mounting a tmpfs");
        return;
    }
    m_mounted = true;
}

ScratchMount::~ScratchMount()
{
    for (auto it = m_binds.crbegin(); it != m_binds.crend(); ++it)
        ::umount2(QFile::encodeName(*it).constData(), MNT_DETACH);
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}

bool ScratchMount::remountReadOnly()
{
    return ::mount(nullptr, QFile::encodeName(m_path).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
}

bool ScratchMount::fill()
{
    const QByteArray filler = QFile::encodeName(m_path + QStringLiteral("/filler"));
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'x');
    bool full = false;
    for (;;) {
        const ssize_t n = ::write(fd, block.constData(), size_t(block.size()));
        // A short write is followed by one that says whether anything is left.
        if (n < 0) {
            full = errno == ENOSPC;
            break;
        }
    }
    ::close(fd);
    return full;
}

bool ScratchMount::bindToItself(const QString& folder)
{
    return bind(folder, folder);
}

bool ScratchMount::bind(const QString& from, const QString& to)
{
    if (!m_mounted || ::mount(QFile::encodeName(from).constData(),
                              QFile::encodeName(to).constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    m_binds << to;
    return true;
}

bool ScratchMount::bindReadOnly(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    return bindToItself(folder) && ::mount(nullptr, path.constData(), nullptr,
                                           MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}
