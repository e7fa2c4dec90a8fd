#include "base/PathRules.h"
#include "shell/RecycleBin.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

class TestRecycleBin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void movesIntoTrashWithRecord_data();
    void movesIntoTrashWithRecord();
    void sameNameTwiceKeepsBoth();
    void refusesAndLeavesFileInPlace_data();
    void refusesAndLeavesFileInPlace();
    void unencodableNameNeverReachesAnotherFile();
    void longNameIsTrashedAndRestored_data();
    void longNameIsTrashedAndRestored();
    void otherFileSystemUsesItsOwnTrash_data();
    void otherFileSystemUsesItsOwnTrash();
    void verifyDecidesWhetherTheFileStays_data();
    void verifyDecidesWhetherTheFileStays();
    void fileReplacedAfterItsCheckComesBack();
    void linkToAFileGoesItself();
    void onlyANameOfTheFolderIsTaken_data();
    void onlyANameOfTheFolderIsTaken();
    void keptTrashChangedBetweenMoves_data();
    void keptTrashChangedBetweenMoves();

private:
    QStringList entries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
    }
    QString m_savedCwd;
    TempFolder* m_cwd = nullptr;
    QString m_noMount; // why no file system can be mounted here, empty when one can
};

namespace {
QByteArray local(const QString& path)
{
    return base::PathRules::localPath(path);
}

bool makeFile(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QByteArray readFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return QByteArray("<unreadable>");
    QByteArray bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

// The Path line of a record, and the record's lines otherwise checked for shape.
QByteArray recordedPath(const QByteArray& infoFile)
{
    const QList<QByteArray> lines = readFile(infoFile).split('\n');
    if (lines.size() != 4 || lines[0] != "[Trash Info]" || !lines[1].startsWith("Path=") ||
        !lines[2].startsWith("DeletionDate="))
        return QByteArray("<malformed>");
    return QByteArray::fromPercentEncoding(lines[1].mid(5));
}

// The names in a folder, as the bytes they are.
QByteArrayList rawEntries(const QByteArray& folder)
{
    QByteArrayList names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names << name;
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool validUtf8(const QByteArray& bytes)
{
    // Every lead byte followed by exactly its count of continuation bytes.
    for (qsizetype i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int more = -1;
        if (c < 0x80)
            more = 0;
        else if ((c & 0xE0) == 0xC0)
            more = 1;
        else if ((c & 0xF0) == 0xE0)
            more = 2;
        else if ((c & 0xF8) == 0xF0)
            more = 3;
        if (more < 0 || i + more >= bytes.size())
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += more + 1;
    }
    return true;
}

// Every entry under a folder, as paths relative to it.
QSet<QString> tree(const QString& root)
{
    QSet<QString> paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.insert(QDir(root).relativeFilePath(it.next()));
    return paths;
}

// A small tmpfs on a fresh folder: a second file system, seen by this test process alone.
class SecondFileSystem {
public:
    explicit SecondFileSystem(const QByteArray& options)
    {
        m_mounted = ::mount("tmpfs", local(m_point.path()).constData(), "tmpfs", 0,
                            options.constData()) == 0;
    }
    ~SecondFileSystem()
    {
        if (m_mounted)
            ::umount2(local(m_point.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString path() const { return m_point.path(); }
    bool remount(const QByteArray& options, unsigned long flags = 0)
    {
        return ::mount("tmpfs", local(m_point.path()).constData(), "tmpfs", MS_REMOUNT | flags,
                       options.constData()) == 0;
    }

private:
    TempFolder m_point;
    bool m_mounted = false;
};
} // namespace

void TestRecycleBin::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_savedCwd = QDir::currentPath();
    // Mounts made from here on stay inside this process's own mount namespace.
    if (::unshare(CLONE_NEWNS) != 0)
        m_noMount = QStringLiteral("unshare(CLONE_NEWNS): %1").arg(std::strerror(errno));
    else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        m_noMount = QStringLiteral("making / private: %1").arg(std::strerror(errno));
}

void TestRecycleBin::init()
{
    // An empty working folder shows any fallback that drops files relative to it.
    m_cwd = new TempFolder;
    QVERIFY(QDir::setCurrent(m_cwd->path()));
}

void TestRecycleBin::cleanup()
{
    QVERIFY(entries(m_cwd->path()).isEmpty());
    QDir::setCurrent(m_savedCwd);
    delete m_cwd;
    m_cwd = nullptr;
    qunsetenv("XDG_DATA_HOME");
}

void TestRecycleBin::movesIntoTrashWithRecord_data()
{
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<QString>("name");

    QTest::newRow("existing data folder") << QString() << QStringLiteral("mail1.eml");
    QTest::newRow("data folder not created yet")
        << QStringLiteral("not/yet/there") << QStringLiteral("mail1.eml");
    QTest::newRow("spaces, accents and percent signs are encoded")
        << QString() << QStringLiteral("Réponse à 100% #2.eml");
}

void TestRecycleBin::movesIntoTrashWithRecord()
{
    QFETCH(QString, dataHome);
    QFETCH(QString, name);

    TempFolder home;
    TempFolder mails;
    const QString xdg = dataHome.isEmpty() ? home.path() : home.filePath(dataHome);
    qputenv("XDG_DATA_HOME", QFile::encodeName(xdg));
    const QString original = mails.write(name, "From: a\r\n\r\nbody\r\n");

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QString reason = QStringLiteral("stale");
    QVERIFY(SendToRecycleBin(original, &reason));
    QVERIFY(reason.isEmpty());
    QVERIFY(!QFile::exists(original));

    const QString trash = xdg + QStringLiteral("/Trash");
    QCOMPARE(entries(trash + QStringLiteral("/files")), QStringList{name});
    QCOMPARE(entries(trash + QStringLiteral("/info")), QStringList{name + ".trashinfo"});
    QCOMPARE(QFileInfo(trash).permissions() & (QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());

    QFile info(trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
    QVERIFY(info.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = info.readAll().split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QByteArray("[Trash Info]"));
    QCOMPARE(lines[1], "Path=" + QFile::encodeName(original).toPercentEncoding("/"));
    QVERIFY(lines[2].startsWith("DeletionDate="));
    const QDateTime deleted =
        QDateTime::fromString(QString::fromLatin1(lines[2].mid(13)), Qt::ISODate);
    QVERIFY(deleted.isValid());
    QVERIFY(deleted >= before && deleted <= QDateTime::currentDateTime().addSecs(1));
    QVERIFY(lines[3].isEmpty());

    // Restoring as a file manager does: the recorded path leads back to the original.
    const QString restored = QFile::decodeName(QByteArray::fromPercentEncoding(lines[1].mid(5)));
    QCOMPARE(restored, original);
    QVERIFY(QFile::rename(trash + QStringLiteral("/files/") + name, restored));
    QFile back(restored);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), QByteArray("From: a\r\n\r\nbody\r\n"));
    QCOMPARE(entries(home.path()), QStringList{dataHome.isEmpty() ? "Trash" : "not"});
}

void TestRecycleBin::sameNameTwiceKeepsBoth()
{
    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    const QString path = mails.write(QStringLiteral("a.eml"), "first");
    QVERIFY(SendToRecycleBin(path));
    mails.write(QStringLiteral("a.eml"), "second");
    QVERIFY(SendToRecycleBin(path));

    const QString trash = home.filePath(QStringLiteral("Trash"));
    QCOMPARE(entries(trash + "/files"), (QStringList{"a.eml", "a.eml.2"}));
    QCOMPARE(entries(trash + "/info"), (QStringList{"a.eml.2.trashinfo", "a.eml.trashinfo"}));
    QFile second(trash + "/files/a.eml.2");
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), QByteArray("second"));
}

void TestRecycleBin::refusesAndLeavesFileInPlace_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expectedReason");

    QTest::newRow("missing file") << "missing"
                                  << "Le fichier ou le dossier n'existe pas.";
    QTest::newRow("a folder is not trashed") << "folder"
                                             << "Ce n'est pas un fichier ordinaire.";
    QTest::newRow("a FIFO is not trashed") << "fifo"
                                           << "Ce n'est pas un fichier ordinaire.";
    QTest::newRow("a link to a folder is not trashed") << "link-to-folder"
                                                       << "Ce n'est pas un fichier ordinaire.";
    QTest::newRow("a dangling link is not trashed") << "dangling-link"
                                                    << "Ce n'est pas un fichier ordinaire.";
    QTest::newRow("trash blocked by a file")
        << "trash-is-file"
        << "Impossible de créer la corbeille : Un élément du chemin n'est pas un dossier.";
    QTest::newRow("trash files folder blocked by a file")
        << "files-is-file"
        << "Impossible de créer la corbeille : Un élément du chemin n'est pas un dossier.";
    QTest::newRow("folder of the file is read-only") << "read-only"
                                                     << "Accès refusé.";
}

void TestRecycleBin::refusesAndLeavesFileInPlace()
{
    QFETCH(QString, setup);
    QFETCH(QString, expectedReason);

    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    QString path = mails.filePath(QStringLiteral("x.eml"));
    if (setup == "folder") {
        QVERIFY(QDir(mails.path()).mkdir("x.eml"));
    } else if (setup == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (setup == "link-to-folder") {
        QVERIFY(QFile::link(home.path(), path));
    } else if (setup == "dangling-link") {
        QVERIFY(QFile::link(mails.filePath(QStringLiteral("gone")), path));
    } else if (setup != "missing") {
        mails.write(QStringLiteral("x.eml"), "text");
    }
    if (setup == "trash-is-file") {
        home.write(QStringLiteral("Trash"), "");
    } else if (setup == "files-is-file") {
        QVERIFY(QDir(home.path()).mkdir("Trash"));
        home.write(QStringLiteral("Trash/files"), "");
    } else if (setup == "read-only") {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the super-user");
        QVERIFY(QFile::setPermissions(mails.path(), QFile::ReadOwner | QFile::ExeOwner));
    }

    const QStringList before = entries(mails.path());
    QString reason;
    QVERIFY(!SendToRecycleBin(path, &reason));
    QCOMPARE(reason, expectedReason);
    QCOMPARE(entries(mails.path()), before);
    const QString info = home.filePath(QStringLiteral("Trash/info"));
    if (QFileInfo(info).isDir())
        QVERIFY(entries(info).isEmpty());
    QFile::setPermissions(mails.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestRecycleBin::unencodableNameNeverReachesAnotherFile()
{
    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    // A lone surrogate has no byte form; whatever its lossy encoding names must stay untouched.
    const QString name = QStringLiteral("a") + QChar(0xD800) + QStringLiteral(".eml");
    const QString path = mails.filePath(name);
    const QByteArray lossy = QFile::encodeName(path);
    const int fd = ::open(lossy.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);

    QString reason;
    QVERIFY(!SendToRecycleBin(path, &reason));
    QCOMPARE(reason, QStringLiteral("Le nom du fichier ne peut pas être codé."));
    struct stat st;
    QCOMPARE(::lstat(lossy.constData(), &st), 0);
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Trash"))) ||
            entries(home.filePath(QStringLiteral("Trash/files"))).isEmpty());
}

void TestRecycleBin::longNameIsTrashedAndRestored_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("extension"); // kept on the name in the trash

    const QByteArray e = "\xc3\xa9"; // "é", two bytes
    QTest::newRow("251 ASCII bytes") << QByteArray(247, 'a') + ".eml" << QByteArray(".eml");
    QTest::newRow("two-byte letters, cut inside one")
        << e.repeated(123) + "a.eml" << QByteArray(".eml");
    QTest::newRow("255 bytes of three-byte letters, no extension")
        << QByteArray("\xe2\x82\xac").repeated(85) << QByteArray();
    QTest::newRow("long extension is not kept")
        << QByteArray(200, 'a') + '.' + QByteArray(50, 'b') << QByteArray();
    QTest::newRow("not valid UTF-8") << QByteArray(247, '\xe9') + ".eml" << QByteArray(".eml");
}

void TestRecycleBin::longNameIsTrashedAndRestored()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, extension);

    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", local(home.path()));
    const QByteArray path = local(mails.path()) + '/' + name;
    const QString shownPath = base::PathRules::decodeName(path);

    // The same long name twice: both reach the trash under names of their own.
    for (const QByteArray& text : {QByteArray("first"), QByteArray("second")}) {
        QVERIFY(makeFile(path, text));
        QString reason = QStringLiteral("stale");
        QVERIFY2(SendToRecycleBin(shownPath, &reason), qPrintable(reason));
        QVERIFY(reason.isEmpty());
        struct stat st;
        QCOMPARE(::lstat(path.constData(), &st), -1);
    }

    const QByteArray trash = local(home.path()) + "/Trash";
    const QByteArrayList inTrash = rawEntries(trash + "/files");
    QCOMPARE(inTrash.size(), 2);
    QByteArrayList records;
    for (const QByteArray& entry : inTrash) {
        QVERIFY2(entry.size() + 10 <= 255, entry.constData());
        QVERIFY2(entry.startsWith(name.left(200)), entry.constData());
        if (!extension.isEmpty())
            QVERIFY2(entry.endsWith(extension), entry.constData());
        if (validUtf8(name))
            QVERIFY2(validUtf8(entry), entry.toPercentEncoding().constData());
        records << entry + ".trashinfo";
        QCOMPARE(recordedPath(trash + "/info/" + entry + ".trashinfo"), path);
    }
    std::sort(records.begin(), records.end());
    QCOMPARE(rawEntries(trash + "/info"), records);

    // Restoring as a file manager does gives back the full name, and the text it had.
    QCOMPARE(::rename((trash + "/files/" + inTrash[0]).constData(), path.constData()), 0);
    const QByteArray restored = readFile(path);
    QVERIFY(restored == "first" || restored == "second");
    QCOMPARE(rawEntries(local(mails.path())), QByteArrayList{name});
    // The temporary folders cannot remove names they cannot decode.
    ::unlink(path.constData());
    for (const QByteArray& entry : inTrash) {
        ::unlink((trash + "/files/" + entry).constData());
        ::unlink((trash + "/info/" + entry + ".trashinfo").constData());
    }
}

void TestRecycleBin::otherFileSystemUsesItsOwnTrash_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("throughLink");
    // The trash used, relative to the top of the second file system; empty when refused.
    QTest::addColumn<QString>("trash");
    QTest::addColumn<QString>("expectedReason");

    const QString uid = QString::number(::getuid());
    const QString own = QStringLiteral(".Trash-") + uid;
    const QString shared = QStringLiteral(".Trash/") + uid;
    QTest::newRow("own trash at the top") << "plain" << false << own << QString();
    QTest::newRow("folder reached through a link: trash at the real top")
        << "plain" << true << own << QString();
    QTest::newRow("home trash unusable: not needed for another file system")
        << "home-unusable" << false << own << QString();
    QTest::newRow("shared sticky .Trash with the user's own folder")
        << "shared" << false << shared << QString();
    QTest::newRow("shared sticky .Trash, user's folder created")
        << "shared-no-uid" << false << shared << QString();
    QTest::newRow("shared .Trash through a link as well")
        << "shared" << true << shared << QString();
    QTest::newRow(".Trash not sticky: own trash")
        << "shared-not-sticky" << false << own << QString();
    QTest::newRow(".Trash is a link: own trash") << "shared-link" << false << own << QString();
    QTest::newRow(".Trash/uid of another user: own trash")
        << "shared-uid-other-owner" << false << own << QString();
    QTest::newRow(".Trash/uid open to others: own trash")
        << "shared-uid-open" << false << own << QString();
    QTest::newRow(".Trash/uid is a link: own trash")
        << "shared-uid-link" << false << own << QString();

    const QString top = QStringLiteral("%1/") + own;
    QTest::newRow("own trash of another user: refused")
        << "own-other-owner" << false << QString()
        << QStringLiteral("La corbeille \"%1\" appartient à un autre utilisateur, elle n'est pas "
                          "utilisée.")
               .arg(top);
    QTest::newRow("own trash open to others: refused")
        << "own-open" << false << QString()
        << QStringLiteral("La corbeille \"%1\" est accessible aux autres utilisateurs, elle n'est "
                          "pas utilisée.")
               .arg(top);
    QTest::newRow("own trash is a link: refused")
        << "own-link" << false << QString()
        << QStringLiteral("La corbeille \"%1\" est un lien symbolique, elle n'est pas utilisée.")
               .arg(top);
    QTest::newRow("read-only file system: refused")
        << "read-only" << false << QString()
        << QStringLiteral(
               "Impossible de créer la corbeille : Le système de fichiers est en lecture "
               "seule.");
    QTest::newRow("no room for the record: refused, naming it")
        << "no-inode" << false << QString()
        << QStringLiteral(
               "Impossible d'écrire dans la corbeille \"%1/info\" : Le disque est plein.")
               .arg(top);
}

void TestRecycleBin::otherFileSystemUsesItsOwnTrash()
{
    QFETCH(QString, setup);
    QFETCH(bool, throughLink);
    QFETCH(QString, trash);
    QFETCH(QString, expectedReason);

    if (!m_noMount.isEmpty())
        QSKIP(qPrintable(QStringLiteral("cannot mount a second file system in a private mount "
                                        "namespace (%1)")
                             .arg(m_noMount)));
    SecondFileSystem disk("size=1m,mode=0755");
    if (!disk.mounted())
        QSKIP(qPrintable(
            QStringLiteral("mounting a tmpfs is not allowed here (%1)").arg(std::strerror(errno))));

    TempFolder home;
    TempFolder links;
    qputenv("XDG_DATA_HOME", local(home.path()));
    const QString top = disk.path();
    const QString uid = QString::number(::getuid());
    QVERIFY(QDir(top).mkpath(QStringLiteral("sub/mails")));
    const QString original = top + QStringLiteral("/sub/mails/x.eml");
    QVERIFY(makeFile(local(original), "text"));
    QString given = original;
    if (throughLink) {
        const QString link = links.filePath(QStringLiteral("linked"));
        QVERIFY(QFile::link(top + QStringLiteral("/sub"), link));
        given = link + QStringLiteral("/mails/x.eml");
    }

    const auto makeFolder = [&](const QString& relative, mode_t mode) {
        const QByteArray p = local(top + '/' + relative);
        return ::mkdir(p.constData(), 0700) == 0 && ::chmod(p.constData(), mode) == 0;
    };
    const auto makeLink = [&](const QString& relative) {
        return makeFolder(QStringLiteral("elsewhere"), 01777) &&
               QFile::link(top + QStringLiteral("/elsewhere"), top + '/' + relative);
    };
    const QString own = QStringLiteral(".Trash-") + uid;
    const QString sharedUid = QStringLiteral(".Trash/") + uid;
    if (setup == "home-unusable") {
        home.write(QStringLiteral("Trash"), "");
    } else if (setup == "shared") {
        QVERIFY(makeFolder(".Trash", 01777) && makeFolder(sharedUid, 0700));
    } else if (setup == "shared-no-uid") {
        QVERIFY(makeFolder(".Trash", 01777));
    } else if (setup == "shared-not-sticky") {
        QVERIFY(makeFolder(".Trash", 0777));
    } else if (setup == "shared-link") {
        QVERIFY(makeLink(".Trash"));
    } else if (setup == "shared-uid-other-owner") {
        QVERIFY(makeFolder(".Trash", 01777) && makeFolder(sharedUid, 0700));
        QCOMPARE(::chown(local(top + '/' + sharedUid).constData(), ::getuid() + 4321, -1), 0);
    } else if (setup == "shared-uid-open") {
        QVERIFY(makeFolder(".Trash", 01777) && makeFolder(sharedUid, 0755));
    } else if (setup == "shared-uid-link") {
        QVERIFY(makeFolder(".Trash", 01777) && makeLink(sharedUid));
    } else if (setup == "own-other-owner") {
        QVERIFY(makeFolder(own, 0700));
        QCOMPARE(::chown(local(top + '/' + own).constData(), ::getuid() + 4321, -1), 0);
    } else if (setup == "own-open") {
        QVERIFY(makeFolder(own, 0755));
    } else if (setup == "own-link") {
        QVERIFY(makeLink(own));
    } else if (setup == "read-only") {
        QVERIFY(disk.remount("size=1m", MS_RDONLY));
    } else if (setup == "no-inode") {
        QVERIFY(makeFolder(own, 0700) && makeFolder(own + "/files", 0700) &&
                makeFolder(own + "/info", 0700));
        struct statvfs fs;
        QCOMPARE(::statvfs(local(top).constData(), &fs), 0);
        const QByteArray used = QByteArray::number(qulonglong(fs.f_files - fs.f_ffree));
        if (!disk.remount("nr_inodes=" + used))
            QSKIP("tmpfs cannot be remounted with no inode left");
    }
    const QSet<QString> before = tree(top);

    QString reason;
    const bool moved = SendToRecycleBin(given, &reason);
    const QSet<QString> after = tree(top);
    const QStringList added = QStringList((after - before).values());
    const QStringList removed = QStringList((before - after).values());
    if (trash.isEmpty()) {
        QVERIFY(!moved);
        QCOMPARE(reason, expectedReason.contains(QLatin1String("%1")) ? expectedReason.arg(top)
                                                                      : expectedReason);
        QCOMPARE(added, QStringList());
        QCOMPARE(removed, QStringList());
        return;
    }
    QVERIFY2(moved, qPrintable(reason));
    QCOMPARE(removed, QStringList{QStringLiteral("sub/mails/x.eml")});
    // Nothing lands anywhere but in the trash chosen.
    for (const QString& path : added)
        QVERIFY2(path == trash || path.startsWith(trash + '/'), qPrintable(path));
    QCOMPARE(readFile(local(top + '/' + trash + QStringLiteral("/files/x.eml"))),
             QByteArray("text"));
    QCOMPARE(recordedPath(local(top + '/' + trash + QStringLiteral("/info/x.eml.trashinfo"))),
             QByteArray("sub/mails/x.eml"));
    struct stat st;
    QCOMPARE(::lstat(local(top + '/' + trash).constData(), &st), 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(st.st_mode & 077, mode_t(0));
    QCOMPARE(st.st_uid, ::getuid());
    // The home trash took nothing.
    QVERIFY(!QFileInfo(home.filePath(QStringLiteral("Trash/files/x.eml"))).exists());
}

void TestRecycleBin::verifyDecidesWhetherTheFileStays_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("takeTheName"); // another file takes the name while it is away
    QTest::addColumn<QString>("why");

    QTest::newRow("accepted: it stays in the trash") << true << false << QString();
    QTest::newRow("refused: back under its own name, record removed")
        << false << false << QStringLiteral("Son texte a changé depuis la comparaison.");
    QTest::newRow("refused without a word: a reason all the same") << false << false << QString();
    QTest::newRow("refused, its name taken meanwhile: nothing overwritten, record kept")
        << false << true << QStringLiteral("Son texte a changé depuis la comparaison.");
}

void TestRecycleBin::verifyDecidesWhetherTheFileStays()
{
    QFETCH(bool, accept);
    QFETCH(bool, takeTheName);
    QFETCH(QString, why);

    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", local(home.path()));
    const QString original = mails.write(QStringLiteral("x.eml"), "compared");
    const QByteArray trash = local(home.path()) + "/Trash";
    const int folder = ::open(local(mails.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folder >= 0);

    QByteArray seen;
    int calls = 0;
    const TrashVerify verify = [&](int filesFd, const QByteArray& trashName, QString* out) {
        ++calls;
        const int fd = ::openat(filesFd, trashName.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            char buffer[64];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            seen = QByteArray(buffer, int(std::max<ssize_t>(n, 0)));
            ::close(fd);
        }
        if (takeTheName)
            mails.write(QStringLiteral("x.eml"), "newcomer");
        *out = why;
        return accept;
    };
    QString reason = QStringLiteral("stale");
    QString trashFolder;
    const bool moved =
        SendToRecycleBinAt(folder, mails.path(), "x.eml", verify, &reason, &trashFolder);
    ::close(folder);

    QCOMPARE(calls, 1);
    QCOMPARE(seen, QByteArray("compared")); // the file handed to verify is the one in the trash
    QCOMPARE(trashFolder, home.filePath(QStringLiteral("Trash")));
    QCOMPARE(moved, accept);
    if (accept) {
        QVERIFY(reason.isEmpty());
        QVERIFY(!QFileInfo::exists(original));
        QCOMPARE(readFile(trash + "/files/x.eml"), QByteArray("compared"));
        QCOMPARE(recordedPath(trash + "/info/x.eml.trashinfo"), local(original));
        return;
    }
    if (takeTheName) {
        QCOMPARE(readFile(local(original)), QByteArray("newcomer"));
        QCOMPARE(readFile(trash + "/files/x.eml"), QByteArray("compared"));
        QCOMPARE(recordedPath(trash + "/info/x.eml.trashinfo"), local(original));
        QVERIFY2(reason.startsWith(why + ' '), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("n'a pas pu être remis à sa place")),
                 qPrintable(reason));
        QVERIFY2(reason.contains(home.filePath(QStringLiteral("Trash/files/x.eml"))),
                 qPrintable(reason));
        return;
    }
    QCOMPARE(readFile(local(original)), QByteArray("compared"));
    QCOMPARE(rawEntries(trash + "/files"), QByteArrayList());
    QCOMPARE(rawEntries(trash + "/info"), QByteArrayList());
    if (why.isEmpty())
        QVERIFY(!reason.isEmpty());
    else
        QCOMPARE(reason, why);
}

void TestRecycleBin::fileReplacedAfterItsCheckComesBack()
{
    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", local(home.path()));
    const QString original = mails.write(QStringLiteral("x.eml"), "checked");
    const QString other = mails.write(QStringLiteral("other.eml"), "another file");
    // Another file takes the name after the name was checked, before the move.
    RecycleBinSeam::trashOpened = [&](const QString&) {
        QCOMPARE(::rename(local(other).constData(), local(original).constData()), 0);
    };
    const auto unhook = qScopeGuard([] { RecycleBinSeam::trashOpened = nullptr; });

    QString reason;
    QVERIFY(!SendToRecycleBin(original, &reason));
    QCOMPARE(reason, QStringLiteral("Le fichier a été remplacé pendant son envoi à la corbeille."));
    QCOMPARE(entries(mails.path()), QStringList{"x.eml"});
    QCOMPARE(readFile(local(original)), QByteArray("another file"));
    const QByteArray trash = local(home.path()) + "/Trash";
    QCOMPARE(rawEntries(trash + "/files"), QByteArrayList());
    QCOMPARE(rawEntries(trash + "/info"), QByteArrayList());
}

void TestRecycleBin::linkToAFileGoesItself()
{
    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", local(home.path()));
    const QString target = mails.write(QStringLiteral("target.eml"), "text");
    QVERIFY(QFile::link(target, mails.filePath(QStringLiteral("link.eml"))));

    QString reason;
    QVERIFY2(SendToRecycleBin(mails.filePath(QStringLiteral("link.eml")), &reason),
             qPrintable(reason));
    QCOMPARE(entries(mails.path()), QStringList{"target.eml"});
    const QString inTrash = home.filePath(QStringLiteral("Trash/files/link.eml"));
    QCOMPARE(QFileInfo(inTrash).symLinkTarget(), target);
    QCOMPARE(readFile(local(target)), QByteArray("text"));
}

void TestRecycleBin::onlyANameOfTheFolderIsTaken_data()
{
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("a path below the folder") << QByteArray("sub/x.eml");
    QTest::newRow("the folder itself") << QByteArray(".");
    QTest::newRow("its parent") << QByteArray("..");
    QTest::newRow("no name") << QByteArray();
}

void TestRecycleBin::onlyANameOfTheFolderIsTaken()
{
    QFETCH(QByteArray, name);

    TempFolder home;
    TempFolder mails;
    qputenv("XDG_DATA_HOME", local(home.path()));
    QVERIFY(QDir(mails.path()).mkdir(QStringLiteral("sub")));
    mails.write(QStringLiteral("sub/x.eml"), "text");
    const int folder = ::open(local(mails.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folder >= 0);

    QString reason;
    const bool moved = SendToRecycleBinAt(folder, mails.path(), name, TrashVerify(), &reason);
    ::close(folder);
    QVERIFY(!moved);
    QCOMPARE(reason, QStringLiteral("Ce n'est pas un fichier ordinaire."));
    QCOMPARE(readFile(local(mails.filePath(QStringLiteral("sub/x.eml")))), QByteArray("text"));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Trash/files"))) ||
            entries(home.filePath(QStringLiteral("Trash/files"))).isEmpty());
}

// A session keeps the trash open from one move to the next; whatever happened to it in between,
// the next file lands where a file manager finds it, or stays where it is.
void TestRecycleBin::keptTrashChangedBetweenMoves_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("secondMoved");
    QTest::newRow("nothing") << "nothing" << true;
    QTest::newRow("trash removed by the user") << "removed" << true;
    QTest::newRow("trash renamed away") << "renamed" << true;
    QTest::newRow("files folder swapped for a link") << "linked" << false;
}

void TestRecycleBin::keptTrashChangedBetweenMoves()
{
    QFETCH(QString, change);
    QFETCH(bool, secondMoved);
    TempFolder home;
    TempFolder mails;
    TempFolder elsewhere;
    qputenv("XDG_DATA_HOME", local(home.path()));
    const QByteArray trash = local(home.path()) + "/Trash";
    mails.write(QStringLiteral("first.eml"), "first");
    const QString second = mails.write(QStringLiteral("second.eml"), "second");
    const int folder = ::open(local(mails.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folder >= 0);
    auto closeFolder = qScopeGuard([&] { ::close(folder); });

    TrashSession session;
    QString reason;
    QVERIFY(SendToRecycleBinAt(folder, mails.path(), "first.eml", TrashVerify(), &reason, nullptr,
                               TrashAboutToMove(), &session));
    if (change == "removed") {
        QVERIFY(QDir(QFile::decodeName(trash)).removeRecursively());
    } else if (change == "renamed") {
        QVERIFY(::rename(trash.constData(), (trash + ".old").constData()) == 0);
    } else if (change == "linked") {
        QVERIFY(::rename((trash + "/files").constData(), (trash + "/files.old").constData()) == 0);
        QVERIFY(::symlink(local(elsewhere.path()).constData(), (trash + "/files").constData()) ==
                0);
    }
    const bool moved = SendToRecycleBinAt(folder, mails.path(), "second.eml", TrashVerify(),
                                          &reason, nullptr, TrashAboutToMove(), &session);
    QCOMPARE(moved, secondMoved);
    QVERIFY(entries(elsewhere.path()).isEmpty());
    if (secondMoved) {
        QCOMPARE(readFile(trash + "/files/second.eml"), QByteArray("second"));
        QCOMPARE(recordedPath(trash + "/info/second.eml.trashinfo"), local(second));
    } else {
        QVERIFY(!reason.isEmpty());
        QCOMPARE(readFile(local(second)), QByteArray("second"));
        QVERIFY(!QFileInfo::exists(QFile::decodeName(trash + "/info/second.eml.trashinfo")));
    }
}

QTEST_GUILESS_MAIN(TestRecycleBin)
#include "tst_RecycleBin.moc"
