#include "shell/RecycleBin.h"

#include "app/EInOutError.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Trash {
    QByteArray root;   // holds files/ and info/
    QByteArray topDir; // empty for the home trash, whose records hold absolute paths
};

bool fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

// The errors a trash meets beyond those the I/O messages already speak French for.
QString systemText(int err)
{
    switch (err) {
    case ENOTDIR:
        return QStringLiteral("Un élément du chemin n'est pas un dossier.");
    case EROFS:
        return QStringLiteral("Le système de fichiers est en lecture seule.");
    case ENOSPC:
        return QStringLiteral("Le disque est plein.");
    case EXDEV:
        return QStringLiteral("La corbeille se trouve sur un autre système de fichiers.");
    case EEXIST:
        return QStringLiteral("Le fichier existe déjà.");
    default:
        return EInOutError::systemText(err);
    }
}

QString cannotCreateTrash(int err)
{
    return QStringLiteral("Impossible de créer la corbeille : %1").arg(systemText(err));
}

// A folder of ours: created 0700 when missing; an existing one must be a real folder.
bool ensureFolder(const QByteArray& path, int* err)
{
    if (::mkdir(path.constData(), 0700) == 0)
        return true;
    if (errno != EEXIST) {
        *err = errno;
        return false;
    }
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        *err = errno;
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *err = ENOTDIR;
        return false;
    }
    return true;
}

bool ensurePath(const QByteArray& path, int* err)
{
    // Each missing element of the way is created, so the trash never lands somewhere relative.
    const QList<QByteArray> parts = path.split('/');
    QByteArray way;
    for (const QByteArray& part : parts) {
        if (part.isEmpty())
            continue;
        way += '/' + part;
        struct stat st;
        if (::stat(way.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                *err = ENOTDIR;
                return false;
            }
            continue;
        }
        if (!ensureFolder(way, err))
            return false;
    }
    return true;
}

bool ensureTrashFolders(const QByteArray& root, int* err)
{
    return ensurePath(root, err) && ensureFolder(root + "/files", err) &&
           ensureFolder(root + "/info", err);
}

QByteArray homeTrashRoot()
{
    return QFile::encodeName(HomeTrashPath());
}

// The mount point that holds path: the last folder upwards on the same device.
QByteArray topDirectory(const QByteArray& folder, dev_t device)
{
    QByteArray top = folder;
    while (top != "/") {
        const qsizetype slash = top.lastIndexOf('/');
        const QByteArray parent = slash <= 0 ? QByteArray("/") : top.left(slash);
        struct stat st;
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

// $topdir/.Trash/$uid when the administrator prepared .Trash (a sticky folder, not a link),
// else $topdir/.Trash-$uid.
bool topDirTrash(const QByteArray& top, dev_t device, Trash* trash, QString* reason)
{
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(uint(::getuid()));
    struct stat st;
    const QByteArray shared = base + "/.Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        int err = 0;
        const QByteArray root = shared + '/' + uid;
        if (ensureFolder(root, &err) && ensureTrashFolders(root, &err) &&
            ::stat(root.constData(), &st) == 0 && st.st_dev == device) {
            *trash = {root, top};
            return true;
        }
    }
    const QByteArray own = base + "/.Trash-" + uid;
    int err = 0;
    if (!ensureFolder(own, &err))
        return fail(reason, cannotCreateTrash(err));
    if (::lstat(own.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        st.st_dev != device)
        return fail(reason, QStringLiteral("La corbeille de ce volume n'est pas utilisable."));
    if (!ensureTrashFolders(own, &err))
        return fail(reason, cannotCreateTrash(err));
    *trash = {own, top};
    return true;
}

bool chooseTrash(const QByteArray& folder, Trash* trash, QString* reason)
{
    struct stat folderStat;
    if (::stat(folder.constData(), &folderStat) != 0)
        return fail(reason, EInOutError::systemText(errno));

    const QByteArray home = homeTrashRoot();
    int err = 0;
    if (home.isEmpty() || !ensureTrashFolders(home, &err))
        return fail(reason, cannotCreateTrash(home.isEmpty() ? ENOENT : err));
    struct stat homeStat;
    if (::stat((home + "/files").constData(), &homeStat) != 0)
        return fail(reason, cannotCreateTrash(errno));
    if (homeStat.st_dev == folderStat.st_dev) {
        *trash = {home, QByteArray()};
        return true;
    }
    return topDirTrash(topDirectory(folder, folderStat.st_dev), folderStat.st_dev, trash, reason);
}

QByteArray infoText(const QByteArray& path)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() +
           '\n';
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

// Reserves a name in info/ with O_EXCL, the way the trash protocol keeps two deletions apart;
// a name already taken in files/ (a record lost by someone else) is skipped too.
int reserveInfo(const QByteArray& root, const QByteArray& name, QByteArray* chosen)
{
    for (int n = 1; n < 100000; ++n) {
        const QByteArray candidate = n == 1 ? name : name + '.' + QByteArray::number(n);
        struct stat st;
        if (::lstat((root + "/files/" + candidate).constData(), &st) == 0)
            continue;
        const QByteArray infoPath = root + "/info/" + candidate + ".trashinfo";
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            *chosen = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

QString HomeTrashPath()
{
    // The trash protocol names $XDG_DATA_HOME; without it the generic data location stands in
    // (the user's ~/.local/share, or a private folder while tests run).
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty())
        return QString();
    return QDir::cleanPath(dataHome + QStringLiteral("/Trash"));
}

bool SendToRecycleBin(const QString& fileName, QString* reason)
{
    if (fileName.isEmpty() || fileName.contains(QChar(0)))
        return fail(reason, EInOutError::systemText(ENOENT));
    const QByteArray encoded = QFile::encodeName(fileName);
    if (QFile::decodeName(encoded) != fileName)
        return fail(reason, QStringLiteral("Le nom du fichier ne peut pas être codé."));

    QByteArray path = encoded;
    if (!path.startsWith('/'))
        path = QFile::encodeName(QDir::currentPath()) + '/' + path;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = path.mid(slash + 1);
    const QByteArray folder = slash == 0 ? QByteArray("/") : path.left(slash);
    if (name.isEmpty() || name == "." || name == "..")
        return fail(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));

    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return fail(reason, EInOutError::systemText(errno));
    if (S_ISLNK(st.st_mode)) {
        // A link to a regular file is listed as a file; the link itself goes to the trash.
        struct stat target;
        if (::stat(path.constData(), &target) != 0 || !S_ISREG(target.st_mode))
            return fail(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));
    } else if (!S_ISREG(st.st_mode)) {
        return fail(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));
    }

    Trash trash;
    if (!chooseTrash(folder, &trash, reason))
        return false;

    QByteArray recorded = path;
    if (!trash.topDir.isEmpty())
        recorded = trash.topDir == "/" ? path.mid(1) : path.mid(trash.topDir.size() + 1);

    QByteArray trashName;
    const int fd = reserveInfo(trash.root, name, &trashName);
    if (fd < 0)
        return fail(reason, cannotCreateTrash(errno));
    const QByteArray infoPath = trash.root + "/info/" + trashName + ".trashinfo";
    const bool written = writeAll(fd, infoText(recorded));
    const int writeErr = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(infoPath.constData());
        return fail(reason, cannotCreateTrash(written ? errno : writeErr));
    }

    // A rename never copies: across file systems it fails, and the file stays in place.
    const QByteArray target = trash.root + "/files/" + trashName;
    int moved =
        ::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        struct stat existing;
        if (::lstat(target.constData(), &existing) == 0)
            errno = EEXIST;
        else
            moved = ::rename(path.constData(), target.constData());
    }
    if (moved != 0) {
        const int err = errno;
        ::unlink(infoPath.constData());
        return fail(reason, systemText(err));
    }
    if (reason)
        reason->clear();
    return true;
}
