#pragma once

#include <QString>
#include <QtGlobal>

#include <sys/stat.h>
#include <utility>

// A regular file of less than 2 GiB opened for reading, closed with the object. Opening raises
// what ReadFileBytes raises: EFOpenError ("Impossible d'ouvrir le fichier ...") naming the path.
class ReadOnlyFile {
public:
    static ReadOnlyFile open(const QString& path);
    // The same for a name relative to an open folder (or AT_FDCWD); path names it in errors.
    // info, when given, receives what fstat says of the open file. seenRegular: the caller has
    // just looked at the name itself (not following a link) and seen a regular file, so that
    // look stands for the one made before opening.
    static ReadOnlyFile openAt(int folderFd, const QByteArray& name, const QString& path,
                               struct ::stat* info = nullptr, bool seenRegular = false);

    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile();

    int fd() const { return m_fd; }
    // Hands the descriptor over to the caller, who then closes it.
    int release() { return std::exchange(m_fd, -1); }
    const QString& path() const { return m_path; }
    // The size when it was opened.
    qint64 size() const { return m_size; }

private:
    ReadOnlyFile(int fd, const QString& path, qint64 size) : m_fd(fd), m_path(path), m_size(size) {}

    int m_fd = -1;
    QString m_path;
    qint64 m_size = 0;
};
