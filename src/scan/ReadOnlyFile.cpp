#include "scan/ReadOnlyFile.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "scan/TextCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

QString notRegularReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return base::EInOutError::systemText(EISDIR);
    return QStringLiteral("Ce n'est pas un fichier ordinaire.");
}

} // namespace

ReadOnlyFile ReadOnlyFile::open(const QString& path)
{
    QByteArray name;
    // A text that names no file must not be bent into one that names another.
    if (!base::PathRules::encodePath(path, name) || name.isEmpty())
        ThrowFileOpenError(
            path, QStringLiteral("Le nom du fichier ne peut pas être codé pour le système."));
    return openAt(AT_FDCWD, name, path);
}

ReadOnlyFile ReadOnlyFile::openAt(int folderFd, const QByteArray& name, const QString& path,
                                  struct stat* given, bool seenRegular)
{
    struct stat own;
    struct stat& info = given ? *given : own;
    // Checked before opening so that a FIFO or a device is never even opened.
    if (!seenRegular) {
        if (::fstatat(folderFd, name.constData(), &info, 0) != 0)
            ThrowFileOpenError(path, base::EInOutError::systemText(errno));
        if (!S_ISREG(info.st_mode))
            ThrowFileOpenError(path, notRegularReason(info.st_mode));
    }
    ReadOnlyFile file(
        ::openat(folderFd, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY), path,
        0);
    if (file.m_fd < 0)
        ThrowFileOpenError(path, base::EInOutError::systemText(errno));
    // The name may have been given to another kind of file since the first look.
    if (::fstat(file.m_fd, &info) != 0)
        ThrowFileOpenError(path, base::EInOutError::systemText(errno));
    if (!S_ISREG(info.st_mode))
        ThrowFileOpenError(path, notRegularReason(info.st_mode));
    if (info.st_size >= kFileSizeLimit)
        ThrowFileOpenError(path, FileTooLargeReason());
    file.m_size = info.st_size;
    return file;
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)), m_size(other.m_size)
{
}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_size = other.m_size;
    }
    return *this;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
