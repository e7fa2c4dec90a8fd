#pragma once

#include "scan/FingerprintIndex.h"

#include <QByteArray>
#include <QString>

// The folder one scan works in, opened once: every file the scan compares is opened, and every
// move is made, relative to this descriptor, so that a folder renamed or swapped for a link
// during the scan never sends another folder's file anywhere.
class ScanFolder {
public:
    // A listed file, open for reading; links followed. What was compared is what is then acted on.
    class File {
    public:
        File() = default;
        ~File();
        File(File&& other) noexcept;
        File& operator=(File&& other) noexcept;
        File(const File&) = delete;
        File& operator=(const File&) = delete;

        bool isOpen() const { return m_fd >= 0; }
        int fd() const { return m_fd; }
        const QString& name() const { return m_name; }
        const QByteArray& localName() const { return m_localName; }
        // The file itself (device, inode, size, times), links followed, when it was opened.
        const FileStamp& stamp() const { return m_stamp; }
        // Whether the name was a symbolic link, and the link's own device and inode.
        bool isLink() const { return m_isLink; }
        const FileStamp& linkStamp() const { return m_linkStamp; }
        // The stamp the open file has now.
        FileStamp stampNow() const;
        void close();

    private:
        friend class ScanFolder;
        int m_fd = -1;
        QString m_name;
        QByteArray m_localName;
        FileStamp m_stamp;
        bool m_isLink = false;
        FileStamp m_linkStamp;
    };

    ScanFolder() = default;
    ~ScanFolder();
    ScanFolder(const ScanFolder&) = delete;
    ScanFolder& operator=(const ScanFolder&) = delete;

    // False, with a French reason, when the folder cannot be opened.
    bool open(const QString& path, QString* reason);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const QString& path() const { return m_path; }
    QString fullName(const QString& name) const;
    // The folder itself now; invalid once it cannot be stat'ed.
    FileStamp stamp() const;

    // Raises as the loader does (EFOpenError naming the full name) when the name cannot be
    // opened as a regular file.
    File openFile(const QString& name) const;
    // What the name is now, links followed; invalid when it names nothing.
    FileStamp stampOf(const QByteArray& localName) const;

    // Two stamps of one file: the same device and inode.
    static bool sameFile(const FileStamp& a, const FileStamp& b);

private:
    int m_fd = -1;
    QString m_path;
};
