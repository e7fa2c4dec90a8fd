#pragma once

#include "scan/ReadOnlyFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <exception>
#include <functional>
#include <sys/stat.h>

class ComparisonStream;

// What identifies one version of a file: a changed stamp means the content may have changed.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool regular = false;

    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp&) const = default;
    // One stat, links followed; an invalid stamp when the path names nothing.
    static FileStamp of(const QByteArray& localPath);
    static FileStamp of(const struct ::stat& info);
    static FileStamp of(const QString& path);
};

// A file's comparison form (decoded, line breaks normalised, case folded) summed up: its length
// and a 128-bit hash. Equal texts give equal fingerprints; equal fingerprints only suggest equal
// texts, which are compared in full before anything is done.
struct Fingerprint {
    qint64 length = -1;
    quint64 low = 0;
    quint64 high = 0;

    bool operator==(const Fingerprint&) const = default;
    static Fingerprint of(const QString& comparisonForm);
    // Of a file's bytes: the same as of(ComparisonForm(FileText(bytes))). textLength, when
    // given, receives the length of FileText(bytes), what a text pane would hold.
    static Fingerprint ofFile(QByteArrayView bytes, qint64* textLength = nullptr);
    // Of what the stream gives from where it stands; textLength as for ofFile.
    static Fingerprint ofStream(ComparisonStream& stream, qint64* textLength = nullptr);
};

size_t qHash(const Fingerprint& print, size_t seed = 0) noexcept;

// Fingerprints of files, kept for the whole run: a file is read again only when its stamp has
// changed. Reading and hashing run on the thread pool; everything else on the caller's thread.
class FingerprintIndex {
public:
    struct Entry {
        FileStamp stamp;
        Fingerprint print;
        // Characters of the file's text as a pane holds it. When the file's size alone shows
        // that it holds more than a pane accepts, the file is not read: this is that lower
        // bound and print is left unset.
        qint64 textLength = 0;
        // What reading the file raised; it is raised again where the file would be loaded.
        std::exception_ptr error;
        // When the file was last found with this stamp, in seconds since the epoch.
        qint64 seenSecs = 0;
        // No file had the name when it was stat'ed.
        bool missing = false;
    };
    // Opens a file to be read or raises as ReadFileBytes does.
    using Reader = std::function<ReadOnlyFile(const QString& path)>;

    FingerprintIndex();
    // Tests count reads through this.
    void setReader(Reader reader) { m_reader = std::move(reader); }
    // Files of this open folder (paths folderPath + "/" + name) are then stat'ed and read
    // through its descriptor, whatever the path has come to lead to; -1 for none. The descriptor
    // stays the caller's and must stay open while the index uses it.
    void setFolder(int folderFd, const QString& folderPath);

    // Brings the entries of these files up to date, reading only new and changed files, spread
    // over the thread pool. waiting() runs on this thread every few milliseconds until the work
    // is done; when it returns false, the files not yet started are left as they were.
    void refresh(const QStringList& paths, const std::function<bool()>& waiting = {});
    // Brings one file's entry up to date on this thread.
    const Entry& update(const QString& path);
    // Null for a file never fingerprinted.
    const Entry* find(const QString& path) const;
    qsizetype size() const { return m_entries.size(); }

    // Raises the entry's kept error, if it has one.
    static void raiseError(const Entry& entry);
    // Whether the cache file would keep the entry, age aside: only what was found and read.
    static bool cacheable(const Entry& entry);

    // The cache that keeps fingerprints from one run to the next: $XDG_CACHE_HOME/twindrop.
    static QString cachePath();
    // Entries not seen for this long are not kept, nor more than the cache's size allows.
    static constexpr qint64 kCacheKeepSecs = qint64(90) * 24 * 3600;
    // How stale a kept "last seen" time may be.
    static constexpr qint64 kSeenStepSecs = qint64(24) * 3600;
    static constexpr qint64 kCacheMaxBytes = qint64(96) * 1024 * 1024;
    // Adds the cache file's entries for the files this index does not know yet. A cached entry
    // is used only while the file's stamp is the one it was made for, and a fingerprint only
    // ever spares a comparison that would find the texts different. False, and nothing added,
    // for a missing, damaged, cut, foreign or older file, or one made under other text rules.
    bool load(const QString& path);
    // Writes the entries (the most recently seen first, within the bounds above) to a new file
    // that then replaces path in one step.
    bool save(const QString& path) const;
    // load(cachePath()) the first time it is called; later calls do nothing.
    void loadCache();
    // save(path) when entries were added or changed, or seen on a later day, since the last
    // load or save; true without writing otherwise.
    bool saveIfChanged(const QString& path) const;
    // saveIfChanged(cachePath()); raises nothing, as it runs while a scan ends, whichever way.
    bool saveCache() const noexcept;
    // The cache file's format, apart for tests and fuzzing. decode is false, and entries left
    // empty, for anything but a whole file of this version made under the current rules.
    static QByteArray encode(const QHash<QString, Entry>& entries, qint64 nowSecs);
    static bool decode(const QByteArray& bytes, QHash<QString, Entry>* entries, qint64 nowSecs);

private:
    Entry compute(const QString& path, const FileStamp& stamp) const;
    void markSeen(Entry& entry, qint64 nowSecs);

    QHash<QString, Entry> m_entries;
    // err (when given) receives errno when the path names nothing, else 0.
    FileStamp stampOf(const QString& path, int* err = nullptr) const;
    ReadOnlyFile open(const QString& path) const;
    // The name of a path of the open folder, empty when it is not one.
    QByteArray nameInFolder(const QString& path) const;

    Reader m_reader;
    bool m_cacheLoaded = false;
    // Entries added, changed or seen on a later day since the cache file was last written.
    mutable bool m_unsaved = false;
    int m_folderFd = -1;
    QString m_folderPrefix;
};
