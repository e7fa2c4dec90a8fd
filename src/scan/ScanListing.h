#pragma once

#include "base/FolderListing.h"
#include "scan/FingerprintIndex.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The folder as one scan sees it: one sorted listing, read again only when the folder itself has
// changed, that follows the scan's own moves to the trash; and, per listed file, where its
// fingerprint puts it, so that a reference's possible duplicates are found without visiting the
// other candidates.
class ScanListing {
public:
    // Lists the folder as a file list with these kinds and the mask "*" would.
    void read(const QString& folder, base::FolderListing::FileKinds kinds);
    // The same through a folder already open, which must stay open while the listing is used:
    // the folder's path is then only a name for it.
    void read(int folderFd, const QString& folder, base::FolderListing::FileKinds kinds,
              const std::function<void()>& progress = {});
    // Whether another program has added, removed or renamed a file since the folder was read.
    bool isStale() const;
    // A file this scan has just moved away. folderBefore is the folder's stamp taken just before
    // the move: when nothing else had changed it, the listing stays current.
    void removeOwn(int index, const FileStamp& folderBefore);

    QString folder() const { return m_folder; }
    base::FolderListing::FileKinds kinds() const { return m_kinds; }
    FileStamp folderStamp() const;
    const QStringList& names() const { return m_names; }
    int size() const { return int(m_names.size()); }
    QString path(int index) const;
    QStringList paths() const;
    // Index of the present file of that exact name, -1 if none.
    int indexOf(const QString& name) const;
    // Bumped whenever the listing changes; what was derived from it is then stale.
    quint64 version() const { return m_version; }

    // Present files whose names match the ";"-mask, ascending, as a re-read with that mask would
    // list them; raises Exception "Search string cannot be blank" where such a re-read would.
    QList<int> matching(const QString& mask) const;
    // One present file against split mask patterns (MaskMatcher::splitMask).
    bool matches(const QStringList& patterns, int index) const;

    // Sorts the files by their fingerprints in the index. Files that cannot be read, and files
    // whose text is longer than a pane of paneCapacity characters holds, are kept apart: every pass
    // visits them, for the error that loading them raises.
    void group(const FingerprintIndex& index, qsizetype paneCapacity);
    // The files a pass of this reference must visit, last first: present candidates (matching the
    // mask, named otherwise than the reference) that share its fingerprint or are kept apart.
    QList<int> visits(const QString& referenceName, const Fingerprint& print,
                      const QStringList& patterns) const;

private:
    static FileStamp stampOf(int folderFd);

    QString m_folder;
    int m_folderFd = -1;
    base::FolderListing::FileKinds m_kinds;
    FileStamp m_folderStamp;
    QStringList m_names;
    QStringList m_upperNames;
    QList<bool> m_gone;
    QHash<QString, int> m_indexByName;
    quint64 m_version = 0;
    QHash<Fingerprint, QList<int>> m_groups;
    QList<int> m_apart;
};
