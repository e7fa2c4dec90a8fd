#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

#include <functional>

namespace base {

// The names a file list shows for one folder: regular files only (a symbolic link to one
// counts), judged by name and mode without ever opening them, so FIFOs and devices never block.
class FolderListing {
public:
    enum FileKind {
        ftReadOnly = 0x01,
        ftHidden = 0x02,
        ftSystem = 0x04,
        ftVolumeID = 0x08,
        ftDirectory = 0x10,
        ftArchive = 0x20,
        ftNormal = 0x40,
    };
    Q_DECLARE_FLAGS(FileKinds, FileKind)

    // Attribute bits as the kinds stand for them: read-only 0x01, hidden 0x02, system 0x04,
    // archive 0x20, normal 0x80.
    static int excludedAttributes(FileKinds kinds);

    // Subfolders first (only with ftDirectory), then the accepted files, each group sorted.
    // A folder that cannot be read gives what was found so far; an empty pattern reached raises
    // Exception "Search string cannot be blank".
    static QStringList list(const QString& folder, const QStringList& patterns, FileKinds kinds);
    // The same for a folder already open (the descriptor stays the caller's); progress, when
    // given, is called every few hundred entries, so that a window can keep answering.
    static QStringList listAt(int folderFd, const QStringList& patterns, FileKinds kinds,
                              const std::function<void()>& progress = {});

    // The user's locale ignoring case; names it finds equal are ordered by code units.
    static void sortNames(QStringList& names);
    // The name of a folder entry as listed (PathRules::decodeName).
    static QString entryName(const char* raw);
};

} // namespace base

Q_DECLARE_OPERATORS_FOR_FLAGS(base::FolderListing::FileKinds)
