#pragma once

#include <QString>
#include <QtGlobal>

// A regular file of less than 2 GiB opened for reading, closed with the object. Opening raises
// what ReadFileBytes raises: EFOpenError ("Impossible d'ouvrir le fichier ...") naming the path.
class ReadOnlyFile {
public:
    static ReadOnlyFile open(const QString& path);

    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile();

    int fd() const { return m_fd; }
    const QString& path() const { return m_path; }
    // The size when it was opened.
    qint64 size() const { return m_size; }

private:
    ReadOnlyFile(int fd, const QString& path, qint64 size) : m_fd(fd), m_path(path), m_size(size) {}

    int m_fd = -1;
    QString m_path;
    qint64 m_size = 0;
};
