#include "shell/RecycleBin.h"

#include "app/EInOutError.h"
#include "widgets/PathRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
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
    return PathRules::localPath(HomeTrashPath());
}

QString shown(const QByteArray& path)
{
    return PathRules::shownName(PathRules::decodeName(path));
}

// The device a folder lives on, or would live on once created: that of its nearest existing
// element.
bool deviceOfWay(QByteArray path, dev_t* device)
{
    while (!path.isEmpty()) {
        struct stat st;
        if (::stat(path.constData(), &st) == 0) {
            *device = st.st_dev;
            return true;
        }
        if (path == "/")
            return false;
        const qsizetype slash = path.lastIndexOf('/');
        path = slash <= 0 ? QByteArray("/") : path.left(slash);
    }
    return false;
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

// A folder that is to hold one user's files alone: a real folder (not a link) of that user, on
// the file's own file system, that no one else may enter. Empty when it is fit, else why not.
QString unfitTrash(const QByteArray& path, dev_t device)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return cannotCreateTrash(errno);
    const QString name = shown(path);
    if (S_ISLNK(st.st_mode))
        return QStringLiteral(
                   "La corbeille \"%1\" est un lien symbolique, elle n'est pas utilisée.")
            .arg(name);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("La corbeille \"%1\" n'est pas un dossier.").arg(name);
    if (st.st_uid != ::getuid())
        return QStringLiteral("La corbeille \"%1\" appartient à un autre utilisateur, elle n'est "
                              "pas utilisée.")
            .arg(name);
    if (st.st_mode & 077)
        return QStringLiteral(
                   "La corbeille \"%1\" est accessible aux autres utilisateurs, elle n'est pas "
                   "utilisée.")
            .arg(name);
    if (st.st_dev != device)
        return QStringLiteral("La corbeille \"%1\" se trouve sur un autre système de fichiers.")
            .arg(name);
    return QString();
}

// $topdir/.Trash/$uid when the administrator prepared .Trash (a sticky folder, not a link) and
// the folder in it is this user's own, else $topdir/.Trash-$uid, which must be just as private:
// a folder another user made first must never receive this user's files.
bool topDirTrash(const QByteArray& top, dev_t device, Trash* trash, QString* reason)
{
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(uint(::getuid()));
    struct stat st;
    int err = 0;
    const QByteArray shared = base + "/.Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        st.st_dev == device) {
        const QByteArray root = shared + '/' + uid;
        if ((::mkdir(root.constData(), 0700) == 0 || errno == EEXIST) &&
            unfitTrash(root, device).isEmpty() && ensureTrashFolders(root, &err)) {
            *trash = {root, top};
            return true;
        }
    }
    const QByteArray own = base + "/.Trash-" + uid;
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST)
        return fail(reason, cannotCreateTrash(errno));
    const QString unfit = unfitTrash(own, device);
    if (!unfit.isEmpty())
        return fail(reason, unfit);
    if (!ensureTrashFolders(own, &err))
        return fail(reason, cannotCreateTrash(err));
    *trash = {own, top};
    return true;
}

// Each file goes to the trash of its own file system: the home trash is needed (and created)
// only for files on the file system that holds it.
bool chooseTrash(const QByteArray& folder, dev_t device, Trash* trash, QString* reason)
{
    const QByteArray home = homeTrashRoot();
    dev_t homeDevice = 0;
    if (!home.isEmpty() && deviceOfWay(home, &homeDevice) && homeDevice == device) {
        int err = 0;
        if (!ensureTrashFolders(home, &err))
            return fail(reason, cannotCreateTrash(err));
        struct stat homeStat;
        if (::stat((home + "/files").constData(), &homeStat) != 0)
            return fail(reason, cannotCreateTrash(errno));
        if (homeStat.st_dev == device) {
            *trash = {home, QByteArray()};
            return true;
        }
    }
    return topDirTrash(topDirectory(folder, device), device, trash, reason);
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

// A name too long to sit in the trash beside its record keeps its start (cut between two
// characters, so a valid name stays valid) and a short extension, with a counter that keeps it
// unique; the record keeps the full path, so a restore gives the original name back.
QByteArray shortenedName(const QByteArray& name, int n, qsizetype limit)
{
    const qsizetype dot = name.lastIndexOf('.');
    const bool keepExtension = dot > 0 && name.size() - dot <= 16;
    const QByteArray tail =
        '~' + QByteArray::number(n) + (keepExtension ? name.mid(dot) : QByteArray());
    qsizetype keep = std::min(limit - tail.size(), keepExtension ? dot : name.size());
    for (int back = 0; back < 3 && keep > 0 && keep < name.size() &&
                       (static_cast<unsigned char>(name.at(keep)) & 0xC0) == 0x80;
         ++back)
        --keep;
    return name.left(keep) + tail;
}

// Reserves a name in info/ with O_EXCL, the way the trash protocol keeps two deletions apart;
// a name already taken in files/ (a record lost by someone else) is skipped too.
int reserveInfo(const QByteArray& root, const QByteArray& name, QByteArray* chosen)
{
    static const QByteArray suffix = ".trashinfo";
    long nameMax = ::pathconf((root + "/info").constData(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    const qsizetype limit = qsizetype(nameMax) - suffix.size();
    for (int n = 1; n < 100000; ++n) {
        QByteArray candidate = n == 1 ? name : name + '.' + QByteArray::number(n);
        if (candidate.size() > limit)
            candidate = shortenedName(name, n, limit);
        struct stat st;
        if (::lstat((root + "/files/" + candidate).constData(), &st) == 0)
            continue;
        const QByteArray infoPath = root + "/info/" + candidate + suffix;
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

QString cannotWriteRecord(const QByteArray& root, int err)
{
    return QStringLiteral("Impossible d'écrire dans la corbeille \"%1\" : %2")
        .arg(shown(root + "/info"), systemText(err));
}

} // namespace

QString HomeTrashPath()
{
    // The trash protocol names $XDG_DATA_HOME; without it the generic data location stands in
    // (the user's ~/.local/share, or a private folder while tests run).
    QString dataHome = PathRules::decodeName(qgetenv("XDG_DATA_HOME"));
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
    // The bytes the listed name stands for, so that a name that is not valid UTF-8 is trashed
    // itself and never the file its lossy decoding would name.
    QByteArray path;
    if (!PathRules::encodePath(fileName, path))
        return fail(reason, QStringLiteral("Le nom du fichier ne peut pas être codé."));

    if (!path.startsWith('/'))
        path = PathRules::localPath(QDir::currentPath()) + '/' + path;
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

    // The folder with its links resolved: a folder reached through a link has its trash at the
    // top of the file system it really is on, where file managers look for it.
    char* resolved = ::realpath(folder.constData(), nullptr);
    if (!resolved)
        return fail(reason, EInOutError::systemText(errno));
    const QByteArray realFolder(resolved);
    std::free(resolved);
    const QByteArray realPath = (realFolder == "/" ? QByteArray() : realFolder) + '/' + name;
    struct stat folderStat;
    if (::stat(realFolder.constData(), &folderStat) != 0)
        return fail(reason, EInOutError::systemText(errno));

    Trash trash;
    if (!chooseTrash(realFolder, folderStat.st_dev, &trash, reason))
        return false;

    // The home trash records the path as the user reached it; a top-directory trash records it
    // relative to its top, so the record stays right wherever the file system is mounted.
    QByteArray recorded = path;
    if (!trash.topDir.isEmpty())
        recorded = trash.topDir == "/" ? realPath.mid(1) : realPath.mid(trash.topDir.size() + 1);

    // The project's own trash, not g_file_trash or QFile::moveToTrash: GIO overwrites a file left
    // in files/ without a record, where this takes the next free name.
    QByteArray trashName;
    const int fd = reserveInfo(trash.root, name, &trashName);
    if (fd < 0)
        return fail(reason, cannotWriteRecord(trash.root, errno));
    const QByteArray infoPath = trash.root + "/info/" + trashName + ".trashinfo";
    const bool written = writeAll(fd, infoText(recorded));
    const int writeErr = errno;
    if (::close(fd) != 0 || !written) {
        const int err = written ? errno : writeErr;
        ::unlink(infoPath.constData());
        return fail(reason, cannotWriteRecord(trash.root, err));
    }

    // A rename never copies: across file systems it fails, and the file stays in place.
    const QByteArray target = trash.root + "/files/" + trashName;
    int moved =
        ::renameat2(AT_FDCWD, realPath.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        struct stat existing;
        if (::lstat(target.constData(), &existing) == 0)
            errno = EEXIST;
        else
            moved = ::rename(realPath.constData(), target.constData());
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
