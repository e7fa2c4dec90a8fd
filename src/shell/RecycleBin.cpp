#include "shell/RecycleBin.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "base/WriteAll.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::function<void(const QString& trashRoot)> RecycleBinSeam::trashOpened;

namespace {

// Folders are only looked into and named relative to, so search rights are enough.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

struct Descriptor {
    int fd = -1;

    Descriptor() = default;
    explicit Descriptor(int value) : fd(value) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    bool isOpen() const { return fd >= 0; }
};

struct Trash {
    QByteArray root; // the path shown for the folder that holds files/ and info/
    Descriptor files;
    Descriptor info;
    bool topDir = false; // records hold paths relative to the top of the file system
    long nameMax = 0;    // the longest name info/ takes, asked once
};

enum class Found { Used, NotHere, Failed };

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
        return base::EInOutError::systemText(err);
    }
}

QString cannotCreateTrash(int err)
{
    return QStringLiteral("Impossible de créer la corbeille : %1").arg(systemText(err));
}

QString shown(const QByteArray& path)
{
    return base::PathRules::shownName(base::PathRules::decodeName(path));
}

QByteArray joined(const QByteArray& folder, const QByteArray& name)
{
    return (folder == "/" ? QByteArray() : folder) + '/' + name;
}

// A folder of ours, created 0700 when missing; never a link, whoever swaps one in.
Descriptor openOwnFolder(int parent, const QByteArray& name, int* err)
{
    if (::mkdirat(parent, name.constData(), 0700) != 0 && errno != EEXIST) {
        *err = errno;
        return Descriptor();
    }
    Descriptor folder(::openat(parent, name.constData(), kFolderFlags | O_NOFOLLOW));
    if (!folder.isOpen())
        *err = errno;
    return folder;
}

bool openFilesAndInfo(int root, Trash* trash, int* err)
{
    trash->files = openOwnFolder(root, "files", err);
    if (!trash->files.isOpen())
        return false;
    trash->info = openOwnFolder(root, "info", err);
    return trash->info.isOpen();
}

bool deviceOf(int fd, dev_t* device)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    *device = st.st_dev;
    return true;
}

// The home trash, created where missing, when it is (or would be) on the file's file system.
// Links on the way to it are the user's own and are followed, once; files/ and info/ never are.
Found openHomeTrash(dev_t device, Trash* trash, QString* reason)
{
    const QByteArray home = base::PathRules::localPath(HomeTrashPath());
    if (!home.startsWith('/'))
        return Found::NotHere;
    Descriptor way(::open("/", kFolderFlags));
    if (!way.isOpen())
        return Found::NotHere;
    bool creating = false;
    int err = 0;
    for (const QByteArray& part : home.split('/')) {
        if (part.isEmpty())
            continue;
        Descriptor next(::openat(way.fd, part.constData(), kFolderFlags));
        if (!next.isOpen()) {
            // What does not exist yet would live where its nearest existing folder lives.
            const int openErr = errno;
            dev_t here = 0;
            if (!creating && (!deviceOf(way.fd, &here) || here != device))
                return Found::NotHere;
            if (openErr != ENOENT) {
                fail(reason, cannotCreateTrash(openErr));
                return Found::Failed;
            }
            creating = true;
            next = openOwnFolder(way.fd, part, &err);
            if (!next.isOpen()) {
                fail(reason, cannotCreateTrash(err));
                return Found::Failed;
            }
        }
        way = std::move(next);
    }
    dev_t here = 0;
    if (!creating && (!deviceOf(way.fd, &here) || here != device))
        return Found::NotHere;
    if (!openFilesAndInfo(way.fd, trash, &err)) {
        fail(reason, cannotCreateTrash(err));
        return Found::Failed;
    }
    if (!deviceOf(trash->files.fd, &here) || here != device)
        return Found::NotHere;
    trash->root = home;
    trash->topDir = false;
    return Found::Used;
}

// A folder that is to hold one user's files alone: this user's, on the file's own file system,
// that no one else may enter. Empty when it is fit, else why not.
QString unfitTrash(int fd, const QByteArray& path, dev_t device)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return cannotCreateTrash(errno);
    const QString name = shown(path);
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

// Why name in parent could not be opened as a folder; looked at only to say so.
QString notAFolder(int parent, const QByteArray& name, const QByteArray& path, int err)
{
    struct stat st;
    if (err != ENOTDIR || ::fstatat(parent, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return cannotCreateTrash(err);
    if (S_ISLNK(st.st_mode))
        return QStringLiteral(
                   "La corbeille \"%1\" est un lien symbolique, elle n'est pas utilisée.")
            .arg(shown(path));
    return QStringLiteral("La corbeille \"%1\" n'est pas un dossier.").arg(shown(path));
}

// $topdir/.Trash/$uid when the administrator prepared .Trash (a sticky folder, not a link) and
// the folder in it is this user's own, else $topdir/.Trash-$uid, which must be just as private:
// a folder another user made first must never receive this user's files. Whoever owns .Trash
// may swap $uid for a link at any moment; what was checked is the descriptor that is used.
bool openTopTrash(int top, const QByteArray& topPath, dev_t device, Trash* trash, QString* reason)
{
    const QByteArray uid = QByteArray::number(uint(::getuid()));
    int err = 0;
    Descriptor shared(::openat(top, ".Trash", kFolderFlags | O_NOFOLLOW));
    struct stat st;
    if (shared.isOpen() && ::fstat(shared.fd, &st) == 0 && (st.st_mode & S_ISVTX) &&
        st.st_dev == device) {
        const QByteArray path = joined(topPath, ".Trash/" + uid);
        Descriptor root = openOwnFolder(shared.fd, uid, &err);
        if (root.isOpen() && unfitTrash(root.fd, path, device).isEmpty() &&
            openFilesAndInfo(root.fd, trash, &err)) {
            trash->root = path;
            trash->topDir = true;
            return true;
        }
    }
    const QByteArray name = ".Trash-" + uid;
    const QByteArray path = joined(topPath, name);
    if (::mkdirat(top, name.constData(), 0700) != 0 && errno != EEXIST)
        return fail(reason, cannotCreateTrash(errno));
    Descriptor own(::openat(top, name.constData(), kFolderFlags | O_NOFOLLOW));
    if (!own.isOpen())
        return fail(reason, notAFolder(top, name, path, errno));
    const QString unfit = unfitTrash(own.fd, path, device);
    if (!unfit.isEmpty())
        return fail(reason, unfit);
    if (!openFilesAndInfo(own.fd, trash, &err))
        return fail(reason, cannotCreateTrash(err));
    trash->root = path;
    trash->topDir = true;
    return true;
}

// The top of the folder's file system: the last folder upwards on the same device.
Descriptor topFolder(int folder, dev_t device)
{
    Descriptor current(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    struct stat currentStat;
    if (!current.isOpen() || ::fstat(current.fd, &currentStat) != 0)
        return Descriptor();
    for (;;) {
        Descriptor parent(::openat(current.fd, "..", kFolderFlags));
        struct stat parentStat;
        if (!parent.isOpen() || ::fstat(parent.fd, &parentStat) != 0 || parentStat.st_dev != device)
            break;
        if (parentStat.st_ino == currentStat.st_ino && parentStat.st_dev == currentStat.st_dev)
            break; // "/" is its own parent
        current = std::move(parent);
        currentStat = parentStat;
    }
    return current;
}

// Where an open folder really is, as the kernel names it.
bool realPathOf(int fd, QByteArray* path)
{
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
    if (n <= 0 || size_t(n) >= sizeof buffer || buffer[0] != '/')
        return false;
    *path = QByteArray(buffer, n);
    return true;
}

QString noFolderPath()
{
    return QStringLiteral("Le chemin du dossier du fichier ne peut pas être établi.");
}

QByteArray infoText(const QByteArray& path)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() +
           '\n';
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

const QByteArray kInfoSuffix = ".trashinfo";

// Reserves a name in info/ with O_EXCL, the way the trash protocol keeps two deletions apart;
// a name already taken in files/ (a record lost by someone else) is skipped too.
int reserveInfo(Trash& trash, const QByteArray& name, QByteArray* chosen)
{
    if (trash.nameMax <= 0)
        trash.nameMax = ::fpathconf(trash.info.fd, _PC_NAME_MAX);
    if (trash.nameMax <= 0)
        trash.nameMax = NAME_MAX;
    const qsizetype limit = qsizetype(trash.nameMax) - kInfoSuffix.size();
    for (int n = 1; n < 100000; ++n) {
        QByteArray candidate = n == 1 ? name : name + '.' + QByteArray::number(n);
        if (candidate.size() > limit)
            candidate = shortenedName(name, n, limit);
        struct stat st;
        if (::fstatat(trash.files.fd, candidate.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        const int fd = ::openat(trash.info.fd, (candidate + kInfoSuffix).constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
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

// A rename that never replaces what is at the target. Where the file system cannot promise that,
// a hard link does (it fails on an existing name), or, for the move into the trash only, where the
// name was reserved by its record, a look first.
int moveNoReplace(int fromFd, const QByteArray& from, int toFd, const QByteArray& to,
                  bool mayLookFirst)
{
    if (::renameat2(fromFd, from.constData(), toFd, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::linkat(fromFd, from.constData(), toFd, to.constData(), 0) == 0)
        return ::unlinkat(fromFd, from.constData(), 0) == 0 ? 0 : -1;
    if (errno == EEXIST || !mayLookFirst)
        return -1;
    struct stat existing;
    if (::fstatat(toFd, to.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(fromFd, from.constData(), toFd, to.constData());
}

// The entry in the trash is not the one meant: back under its own name, its record gone. Where
// that name is taken again, nothing is overwritten and the record stays for a restore.
bool putBack(int folderFd, const QByteArray& name, const Trash& trash, const QByteArray& trashName,
             const QString& why, QString* reason)
{
    if (moveNoReplace(trash.files.fd, trashName, folderFd, name, false) == 0) {
        ::unlinkat(trash.info.fd, (trashName + kInfoSuffix).constData(), 0);
        return fail(reason, why);
    }
    const int err = errno;
    return fail(reason, QStringLiteral("%1 Il n'a pas pu être remis à sa place : %2 Il reste dans "
                                       "la corbeille, en \"%3\", d'où il peut être restauré.")
                            .arg(why, systemText(err), shown(trash.root + "/files/" + trashName)));
}

// Whether the path (as the user reached the folder, or a kept trash folder's) still leads to it.
bool leadsTo(const QByteArray& folderPath, const struct stat& folder)
{
    struct stat reached;
    return folderPath.startsWith('/') && ::stat(folderPath.constData(), &reached) == 0 &&
           reached.st_dev == folder.st_dev && reached.st_ino == folder.st_ino;
}

} // namespace

struct TrashSession::Chosen {
    bool valid = false;
    dev_t device = 0;
    bool home = false;
    QByteArray topPath; // the top of the file system, for a top-directory trash
    Trash trash;
    struct stat files = {}; // files/ and info/ as they were when checked
    struct stat info = {};
};

namespace {

bool chooseTrash(int folderFd, dev_t device, TrashSession::Chosen* chosen, QString* reason)
{
    chosen->valid = false;
    chosen->device = device;
    const Found home = openHomeTrash(device, &chosen->trash, reason);
    if (home == Found::Failed)
        return false;
    chosen->home = home == Found::Used;
    if (!chosen->home) {
        // A folder reached through a link has its trash at the top of the file system it really
        // is on, where file managers look for it.
        const Descriptor top = topFolder(folderFd, device);
        if (!top.isOpen() || !realPathOf(top.fd, &chosen->topPath))
            return fail(reason, noFolderPath());
        if (!openTopTrash(top.fd, chosen->topPath, device, &chosen->trash, reason))
            return false;
    }
    chosen->valid = ::fstat(chosen->trash.files.fd, &chosen->files) == 0 &&
                    ::fstat(chosen->trash.info.fd, &chosen->info) == 0;
    return true;
}

// A kept folder moved, removed or swapped since it was checked is opened and checked again.
bool keptTrashStands(const TrashSession::Chosen& chosen, dev_t device)
{
    return chosen.valid && chosen.device == device &&
           leadsTo(chosen.trash.root + "/files", chosen.files) &&
           leadsTo(chosen.trash.root + "/info", chosen.info);
}

bool moveToTrash(int folderFd, QByteArray folderPath, const QByteArray& name,
                 const TrashVerify& verify, QString* reason, QString* trashFolder,
                 const TrashAboutToMove& aboutToMove, TrashSession* session)
{
    if (trashFolder)
        trashFolder->clear();
    if (name.isEmpty() || name == "." || name == ".." || name.contains('/') || name.contains('\0'))
        return fail(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));

    struct stat entry;
    if (::fstatat(folderFd, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(reason, base::EInOutError::systemText(errno));
    if (S_ISLNK(entry.st_mode)) {
        // A link to a regular file is listed as a file; the link itself goes to the trash.
        struct stat target;
        if (::fstatat(folderFd, name.constData(), &target, 0) != 0 || !S_ISREG(target.st_mode))
            return fail(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));
    } else if (!S_ISREG(entry.st_mode)) {
        return fail(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));
    }
    struct stat folderStat;
    if (::fstat(folderFd, &folderStat) != 0)
        return fail(reason, base::EInOutError::systemText(errno));
    const dev_t device = folderStat.st_dev;

    TrashSession::Chosen own;
    TrashSession::Chosen& chosen = session ? session->chosen() : own;
    if (!keptTrashStands(chosen, device) && !chooseTrash(folderFd, device, &chosen, reason))
        return false;
    Trash& trash = chosen.trash;
    const bool home = chosen.home;

    // The home trash records the path as the user reached it; a top-directory trash records it
    // relative to its top, so the record stays right wherever the file system is mounted.
    QByteArray recorded;
    if (home) {
        // A path that no longer leads to this folder (renamed, or swapped for a link since it
        // was opened) would send a restore elsewhere: the folder's real path stands instead.
        if (!leadsTo(folderPath, folderStat) && !realPathOf(folderFd, &folderPath))
            return fail(reason, noFolderPath());
        recorded = joined(folderPath, name);
    } else {
        const QByteArray& topPath = chosen.topPath;
        QByteArray realFolder;
        if (!realPathOf(folderFd, &realFolder))
            return fail(reason, noFolderPath());
        if (realFolder == topPath)
            recorded = name;
        else if (topPath == "/" && realFolder.startsWith('/'))
            recorded = realFolder.mid(1) + '/' + name;
        else if (realFolder.startsWith(topPath + '/'))
            recorded = realFolder.mid(topPath.size() + 1) + '/' + name;
        else
            return fail(reason, noFolderPath());
    }
    if (trashFolder)
        *trashFolder = shown(trash.root);
    if (RecycleBinSeam::trashOpened)
        RecycleBinSeam::trashOpened(shown(trash.root));

    // The project's own trash, not g_file_trash or QFile::moveToTrash: GIO overwrites a file left
    // in files/ without a record, where this takes the next free name.
    QByteArray trashName;
    const int fd = reserveInfo(trash, name, &trashName);
    if (fd < 0)
        return fail(reason, cannotWriteRecord(trash.root, errno));
    const QByteArray infoName = trashName + kInfoSuffix;
    const bool written = base::WriteAll(fd, infoText(recorded));
    const int writeErr = errno;
    if (::close(fd) != 0 || !written) {
        const int err = written ? errno : writeErr;
        ::unlinkat(trash.info.fd, infoName.constData(), 0);
        return fail(reason, cannotWriteRecord(trash.root, err));
    }

    if (aboutToMove) {
        QString why;
        if (!aboutToMove(trash.root, trashName, &why)) {
            ::unlinkat(trash.info.fd, infoName.constData(), 0);
            return fail(reason, why);
        }
    }
    // A rename never copies: across file systems it fails, and the file stays in place.
    if (moveNoReplace(folderFd, name, trash.files.fd, trashName, true) != 0) {
        const int err = errno;
        ::unlinkat(trash.info.fd, infoName.constData(), 0);
        return fail(reason, systemText(err));
    }
    // A file's identity is its device and inode: what was checked is what must have moved.
    struct stat moved;
    if (::fstatat(trash.files.fd, trashName.constData(), &moved, AT_SYMLINK_NOFOLLOW) != 0 ||
        moved.st_dev != entry.st_dev || moved.st_ino != entry.st_ino)
        return putBack(
            folderFd, name, trash, trashName,
            QStringLiteral("Le fichier a été remplacé pendant son envoi à la corbeille."), reason);
    if (verify) {
        QString why;
        if (!verify(trash.files.fd, trashName, &why)) {
            if (why.isEmpty())
                why = QStringLiteral("Le fichier placé dans la corbeille n'est pas celui qui était "
                                     "attendu.");
            return putBack(folderFd, name, trash, trashName, why, reason);
        }
    }
    // The folder renamed or swapped while the file moved: the record follows the file.
    QByteArray realFolder;
    if (home && !leadsTo(folderPath, folderStat) && realPathOf(folderFd, &realFolder)) {
        const int again = ::openat(trash.info.fd, infoName.constData(),
                                   O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
        if (again >= 0) {
            base::WriteAll(again, infoText(joined(realFolder, name)));
            ::close(again);
        }
    }
    if (reason)
        reason->clear();
    return true;
}

} // namespace

TrashSession::TrashSession() : m_chosen(std::make_unique<Chosen>()) {}

TrashSession::~TrashSession() = default;

void TrashSession::close()
{
    *m_chosen = Chosen();
}

QString HomeTrashPath()
{
    // The trash protocol names $XDG_DATA_HOME; without it the generic data location stands in
    // (the user's ~/.local/share, or a private folder while tests run).
    QString dataHome = base::PathRules::decodeName(qgetenv("XDG_DATA_HOME"));
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty())
        return QString();
    return QDir::cleanPath(dataHome + QStringLiteral("/Trash"));
}

bool SendToRecycleBinAt(int folderFd, const QString& folderPath, const QByteArray& name,
                        const TrashVerify& verify, QString* reason, QString* trashFolder,
                        const TrashAboutToMove& aboutToMove, TrashSession* session)
{
    // An unencodable or relative folder text is replaced by where the folder really is.
    QByteArray path;
    if (!base::PathRules::encodePath(folderPath, path) || !path.startsWith('/'))
        path.clear();
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return moveToTrash(folderFd, path, name, verify, reason, trashFolder, aboutToMove, session);
}

bool SendToRecycleBin(const QString& fileName, QString* reason)
{
    if (fileName.isEmpty() || fileName.contains(QChar(0)))
        return fail(reason, base::EInOutError::systemText(ENOENT));
    // The bytes the listed name stands for, so that a name that is not valid UTF-8 is trashed
    // itself and never the file its lossy decoding would name.
    QByteArray path;
    if (!base::PathRules::encodePath(fileName, path))
        return fail(reason, QStringLiteral("Le nom du fichier ne peut pas être codé."));

    if (!path.startsWith('/'))
        path = base::PathRules::localPath(QDir::currentPath()) + '/' + path;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = path.mid(slash + 1);
    const QByteArray folder = slash == 0 ? QByteArray("/") : path.left(slash);
    if (name.isEmpty() || name == "." || name == "..")
        return fail(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));

    const Descriptor folderFd(::open(folder.constData(), kFolderFlags));
    if (!folderFd.isOpen())
        return fail(reason, base::EInOutError::systemText(errno));
    return moveToTrash(folderFd.fd, folder, name, TrashVerify(), reason, nullptr,
                       TrashAboutToMove(), nullptr);
}
