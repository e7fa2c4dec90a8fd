#include "shell/TrashRestore.h"

#include "base/Errors.h"
#include "base/PathRules.h"

#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

struct OpenFolder {
    int fd = -1;
    QString error; // why it could not be used, when fd < 0
    ~OpenFolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct OpenTrash {
    OpenFolder files;
    OpenFolder info;
};

QString shown(const QByteArray& path)
{
    return base::PathRules::shownName(base::PathRules::decodeName(path));
}

qint64 modifiedNs(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool sameFile(const struct stat& st, const JournalMove& move)
{
    return quint64(st.st_dev) == move.device && quint64(st.st_ino) == move.inode;
}

// Never onto an existing name: where the file system cannot promise that for a rename, a hard
// link does; with neither, the file stays in the trash.
int moveNoReplace(int fromFd, const QByteArray& from, int toFd, const QByteArray& to)
{
    if (::renameat2(fromFd, from.constData(), toFd, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::linkat(fromFd, from.constData(), toFd, to.constData(), 0) != 0)
        return -1;
    return ::unlinkat(fromFd, from.constData(), 0) == 0 ? 0 : -1;
}

std::unique_ptr<OpenFolder> openOriginal(const JournalMove& move)
{
    auto folder = std::make_unique<OpenFolder>();
    folder->fd = ::open(move.folder.constData(), kFolderFlags);
    if (folder->fd < 0) {
        folder->error = QStringLiteral("Le dossier d'origine ne peut pas être ouvert : %1")
                            .arg(base::EInOutError::systemText(errno));
        return folder;
    }
    struct stat st;
    if (::fstat(folder->fd, &st) != 0 || quint64(st.st_dev) != move.folderDevice ||
        quint64(st.st_ino) != move.folderInode) {
        ::close(folder->fd);
        folder->fd = -1;
        folder->error =
            QStringLiteral("Le dossier d'origine a été remplacé par un autre depuis l'analyse.");
    }
    return folder;
}

std::unique_ptr<OpenTrash> openTrash(const QByteArray& root)
{
    auto trash = std::make_unique<OpenTrash>();
    const int rootFd = ::open(root.constData(), kFolderFlags);
    if (rootFd >= 0) {
        trash->files.fd = ::openat(rootFd, "files", kFolderFlags | O_NOFOLLOW);
        if (trash->files.fd < 0)
            trash->files.error = base::EInOutError::systemText(errno);
        trash->info.fd = ::openat(rootFd, "info", kFolderFlags | O_NOFOLLOW);
        ::close(rootFd);
    } else {
        trash->files.error = base::EInOutError::systemText(errno);
    }
    if (trash->files.fd < 0)
        trash->files.error = QStringLiteral("La corbeille \"%1\" ne peut pas être ouverte : %2")
                                 .arg(shown(root), trash->files.error);
    return trash;
}

} // namespace

TrashRestore::Result TrashRestore::restore(const JournalContents& journal)
{
    Result result;
    QHash<QByteArray, std::shared_ptr<OpenFolder>> folders;
    QHash<QByteArray, std::shared_ptr<OpenTrash>> trashes;
    for (const JournalMove& move : journal.moves) {
        if (!move.mayBeInTrash())
            continue;
        const QString path = shown(move.originalPath());
        auto failed = [&](const QString& reason) { result.failures.append({path, reason}); };

        const QByteArray folderKey = move.folder + '\0' + QByteArray::number(move.folderDevice) +
                                     ':' + QByteArray::number(move.folderInode);
        if (!folders.contains(folderKey))
            folders.insert(folderKey, openOriginal(move));
        const std::shared_ptr<OpenFolder> folder = folders.value(folderKey);
        if (!trashes.contains(move.trashRoot))
            trashes.insert(move.trashRoot, openTrash(move.trashRoot));
        const std::shared_ptr<OpenTrash> trash = trashes.value(move.trashRoot);
        if (trash->files.fd < 0) {
            failed(trash->files.error);
            continue;
        }

        struct stat inTrash;
        if (::fstatat(trash->files.fd, move.trashName.constData(), &inTrash, AT_SYMLINK_NOFOLLOW) !=
            0) {
            const int err = errno;
            // A scan stopped between its record and the move: the file never left.
            struct stat atHome;
            if (err == ENOENT && move.state == JournalMove::State::Pending && folder->fd >= 0 &&
                ::fstatat(folder->fd, move.name.constData(), &atHome, AT_SYMLINK_NOFOLLOW) == 0 &&
                sameFile(atHome, move))
                continue;
            failed(err == ENOENT ? QStringLiteral("Il n'est plus dans la corbeille.")
                                 : base::EInOutError::systemText(err));
            continue;
        }
        if (!sameFile(inTrash, move)) {
            failed(QStringLiteral("La corbeille contient sous son nom un autre fichier que celui "
                                  "qui y a été placé."));
            continue;
        }
        if (qint64(inTrash.st_size) != move.size || modifiedNs(inTrash) != move.modifiedNs) {
            failed(QStringLiteral("Il a été modifié depuis qu'il a été placé dans la corbeille."));
            continue;
        }
        if (folder->fd < 0) {
            failed(folder->error);
            continue;
        }
        if (moveNoReplace(trash->files.fd, move.trashName, folder->fd, move.name) != 0) {
            failed(errno == EEXIST ? QStringLiteral("Un autre fichier porte maintenant son nom "
                                                    "dans le dossier d'origine.")
                                   : base::EInOutError::systemText(errno));
            continue;
        }
        // Swapped in the trash between the look and the move: back where it was found.
        struct stat arrived;
        if (::fstatat(folder->fd, move.name.constData(), &arrived, AT_SYMLINK_NOFOLLOW) != 0 ||
            !sameFile(arrived, move)) {
            moveNoReplace(folder->fd, move.name, trash->files.fd, move.trashName);
            failed(QStringLiteral("Il a été remplacé dans la corbeille pendant sa restauration."));
            continue;
        }
        if (trash->info.fd >= 0)
            ::unlinkat(trash->info.fd, (move.trashName + ".trashinfo").constData(), 0);
        ++result.restored;
        result.restoredSequences.append(move.sequence);
    }
    return result;
}
