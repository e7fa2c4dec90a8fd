#include "scan/ScanFolder.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "scan/ReadOnlyFile.h"
#include "scan/TextCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

ScanFolder::File::~File()
{
    close();
}

ScanFolder::File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_name(std::move(other.m_name)),
      m_localName(std::move(other.m_localName)), m_stamp(other.m_stamp), m_isLink(other.m_isLink),
      m_linkStamp(other.m_linkStamp)
{
}

ScanFolder::File& ScanFolder::File::operator=(File&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_name = std::move(other.m_name);
        m_localName = std::move(other.m_localName);
        m_stamp = other.m_stamp;
        m_isLink = other.m_isLink;
        m_linkStamp = other.m_linkStamp;
    }
    return *this;
}

void ScanFolder::File::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

FileStamp ScanFolder::File::stampNow() const
{
    struct stat info;
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0)
        return FileStamp();
    return FileStamp::of(info);
}

ScanFolder::~ScanFolder()
{
    close();
}

bool ScanFolder::open(const QString& path, QString* reason)
{
    close();
    const QByteArray local = base::PathRules::localPath(path);
    const int fd =
        local.isEmpty() ? -1 : ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int err = local.isEmpty() ? ENOENT : errno;
        if (reason)
            *reason =
                QStringLiteral("Impossible d'ouvrir le dossier \"%1\". %2")
                    .arg(base::PathRules::shownName(path), base::EInOutError::systemText(err));
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void ScanFolder::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

QString ScanFolder::fullName(const QString& name) const
{
    return base::PathRules::fullName(m_path, name);
}

FileStamp ScanFolder::stamp() const
{
    struct stat info;
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0)
        return FileStamp();
    return FileStamp::of(info);
}

ScanFolder::File ScanFolder::openFile(const QString& name) const
{
    const QString path = fullName(name);
    QByteArray local;
    // A listed name never holds "/": one that does would reach outside the folder.
    if (!base::PathRules::encodePath(name, local) || local.isEmpty() || local.contains('/') ||
        local == "." || local == "..")
        ThrowFileOpenError(path, base::EInOutError::systemText(ENOENT));
    File file;
    struct stat own;
    const bool looked = ::fstatat(m_fd, local.constData(), &own, AT_SYMLINK_NOFOLLOW) == 0;
    if (looked && S_ISLNK(own.st_mode)) {
        file.m_isLink = true;
        file.m_linkStamp = FileStamp::of(own);
    }
    struct stat info;
    file.m_fd =
        ReadOnlyFile::openAt(m_fd, local, path, &info, looked && S_ISREG(own.st_mode)).release();
    file.m_stamp = FileStamp::of(info);
    file.m_name = name;
    file.m_localName = local;
    return file;
}

FileStamp ScanFolder::stampOf(const QByteArray& localName) const
{
    struct stat info;
    if (m_fd < 0 || ::fstatat(m_fd, localName.constData(), &info, 0) != 0)
        return FileStamp();
    return FileStamp::of(info);
}

bool ScanFolder::sameFile(const FileStamp& a, const FileStamp& b)
{
    return a.isValid() && b.isValid() && a.device == b.device && a.inode == b.inode;
}
