#include "base/FolderListing.h"

#include "base/MaskMatcher.h"
#include "base/PathRules.h"

#include <QCollator>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

constexpr int kAttrReadOnly = 0x01;
constexpr int kAttrHidden = 0x02;
constexpr int kAttrNormal = 0x80;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

enum class EntryKind { Other, File, Folder };

// stat, never open: follows a symbolic link to see what it names.
EntryKind kindOf(DIR* dir, const dirent* entry)
{
    switch (entry->d_type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return EntryKind::Other;
    }
    struct stat st;
    if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0)
        return EntryKind::Other;
    if (S_ISREG(st.st_mode))
        return EntryKind::File;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}

} // namespace

int FolderListing::excludedAttributes(FileKinds kinds)
{
    int bits = 0;
    if (kinds & ftReadOnly)
        bits |= 0x01;
    if (kinds & ftHidden)
        bits |= 0x02;
    if (kinds & ftSystem)
        bits |= 0x04;
    if (kinds & ftArchive)
        bits |= 0x20;
    if (kinds & ftNormal)
        bits |= 0xA1;
    return ~bits & 0xA7;
}

QString FolderListing::entryName(const char* raw)
{
    return PathRules::decodeName(QByteArray(raw));
}

QStringList FolderListing::list(const QString& folder, const QStringList& patterns, FileKinds kinds)
{
    const QByteArray local = PathRules::localPath(folder);
    const int fd =
        local.isEmpty() ? -1 : ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const QStringList names = listAt(fd, patterns, kinds);
    ::close(fd);
    return names;
}

QStringList FolderListing::listAt(int folderFd, const QStringList& patterns, FileKinds kinds,
                                  const std::function<void()>& progress)
{
    constexpr int kProgressEvery = 256;
    int sinceProgress = 0;
    const int excluded = excludedAttributes(kinds);
    // Read-only costs a system call per file; ask only when the answer can exclude a file.
    const bool needWritable = (excluded & (kAttrReadOnly | kAttrNormal)) != 0;
    const bool withFolders = kinds.testFlag(ftDirectory);

    QStringList folders;
    QStringList files;
    // A descriptor of its own: closedir closes it, and reading starts from the first entry.
    const int own = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    std::unique_ptr<DIR, DirCloser> dir(own >= 0 ? ::fdopendir(own) : nullptr);
    if (!dir && own >= 0)
        ::close(own);
    if (dir) {
        ::rewinddir(dir.get());
        while (const dirent* entry = readdir(dir.get())) {
            if (progress && ++sinceProgress == kProgressEvery) {
                sinceProgress = 0;
                progress();
            }
            const char* raw = entry->d_name;
            if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0')))
                continue;
            const EntryKind kind = kindOf(dir.get(), entry);
            if (kind == EntryKind::Folder) {
                if (withFolders)
                    folders << entryName(raw);
                continue;
            }
            if (kind != EntryKind::File)
                continue;
            int attributes = raw[0] == '.' ? kAttrHidden : 0;
            if (needWritable && faccessat(dirfd(dir.get()), raw, W_OK, AT_EACCESS) != 0)
                attributes |= kAttrReadOnly;
            if (attributes == 0)
                attributes = kAttrNormal;
            if (attributes & excluded)
                continue;
            const QString name = entryName(raw);
            if (!MaskMatcher::matchesAny(patterns, MaskMatcher::upperCase(name)))
                continue;
            files << name;
        }
    }
    sortNames(folders);
    sortNames(files);
    return folders + files;
}

void FolderListing::sortNames(QStringList& names)
{
    if (names.size() < 2)
        return;
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), [&collator](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        if (c != 0)
            return c < 0;
        return a < b;
    });
}

} // namespace base
