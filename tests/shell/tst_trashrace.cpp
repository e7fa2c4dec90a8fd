// Another user who owns the shared .Trash of a second file system swaps this user's .Trash/$uid
// for a link to a folder of theirs while files are being trashed. No file may ever land in their
// folder: each goes to a trash of ours with its record, or stays where it is with a reason.
#include "shell/RecycleBin.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <new>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

QByteArray readAt(int folder, const QByteArray& name)
{
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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

QByteArray readFile(const QString& path)
{
    return readAt(AT_FDCWD, local(path));
}

QByteArray recordedPath(const QString& infoFile)
{
    const QList<QByteArray> lines = readFile(infoFile).split('\n');
    if (lines.size() != 4 || lines[0] != "[Trash Info]" || !lines[1].startsWith("Path="))
        return QByteArray("<malformed>");
    return QByteArray::fromPercentEncoding(lines[1].mid(5));
}

// An uid that no account uses, so that nothing of the machine's own is touched as that user.
uid_t unusedUid()
{
    for (uid_t uid = 54321; uid < 54421; ++uid) {
        if (!::getpwuid(uid) && !::getgrgid(gid_t(uid)))
            return uid;
    }
    return 0;
}

bool makeFolder(const QString& path, mode_t mode, uid_t owner)
{
    const QByteArray p = local(path);
    return ::mkdir(p.constData(), 0700) == 0 && ::chown(p.constData(), owner, gid_t(owner)) == 0 &&
           ::chmod(p.constData(), mode) == 0;
}

// A folder that holds this user's files alone: a real folder, ours, closed to others.
bool isOurTrash(const QString& root)
{
    struct stat st;
    return ::lstat(local(root).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

} // namespace

class TestTrashRace : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void swapAfterTheCheckTakesNothingAway_data();
    void swapAfterTheCheckTakesNothingAway();
    void otherUserSwappingAllTheTime_data();
    void otherUserSwappingAllTheTime();

private:
    // The second file system with a shared sticky .Trash of the other user, this user's folder in
    // it already used once, and the other user's own folder that is to catch files.
    bool prepare();

    TempFolder* m_scratch = nullptr;
    TempFolder* m_home = nullptr;
    ScratchMount* m_disk = nullptr;
    uid_t m_other = 0;
    QString m_top;
    QString m_uid;
};

void TestTrashRace::init()
{
    m_scratch = new TempFolder;
    m_home = new TempFolder;
    // The home trash is on another file system, so the trash at the top of the disk is used.
    qputenv("XDG_DATA_HOME", local(m_home->path()));
    m_uid = QString::number(::getuid());
}

void TestTrashRace::cleanup()
{
    RecycleBinSeam::trashOpened = nullptr;
    delete m_disk;
    m_disk = nullptr;
    delete m_home;
    m_home = nullptr;
    delete m_scratch;
    m_scratch = nullptr;
    qunsetenv("XDG_DATA_HOME");
}

bool TestTrashRace::prepare()
{
    m_disk = new ScratchMount(m_scratch->filePath(QStringLiteral("disk")), 8192);
    if (!m_disk->isMounted()) {
        QTest::qSkip(qPrintable(QStringLiteral("needs a tmpfs in a mount namespace of its own "
                                               "(run as root): %1")
                                    .arg(m_disk->error())),
                     __FILE__, __LINE__);
        return false;
    }
    m_other = unusedUid();
    if (m_other == 0 || ::getuid() != 0) {
        QTest::qSkip("needs to run as root with an uid that no account uses, to act as another "
                     "user",
                     __FILE__, __LINE__);
        return false;
    }
    m_top = m_disk->path();
    const QString shared = m_top + QStringLiteral("/.Trash");
    const QString ours = shared + '/' + m_uid;
    const QString theirs = m_top + QStringLiteral("/theirs");
    const bool made = makeFolder(shared, 01777, m_other) && makeFolder(ours, 0700, 0) &&
                      makeFolder(ours + QStringLiteral("/files"), 0700, 0) &&
                      makeFolder(ours + QStringLiteral("/info"), 0700, 0) &&
                      makeFolder(theirs, 0777, m_other) &&
                      makeFolder(theirs + QStringLiteral("/files"), 0777, m_other) &&
                      makeFolder(theirs + QStringLiteral("/info"), 0777, m_other) &&
                      makeFolder(m_top + QStringLiteral("/mails"), 0755, 0);
    if (!made)
        QTest::qFail("cannot lay out the second file system", __FILE__, __LINE__);
    return made;
}

void TestTrashRace::swapAfterTheCheckTakesNothingAway_data()
{
    // What is swapped for a link into the other user's folder, right after the trash folders were
    // opened and checked; where the checked folder then is, and so where the file must be.
    QTest::addColumn<QString>("swapped");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("info");

    const QString ours = QStringLiteral(".Trash/") + QString::number(::getuid());
    QTest::newRow("the user's folder in .Trash, as its owner can")
        << ours << ours + ".checked/files" << ours + ".checked/info";
    QTest::newRow("files in it") << ours + "/files" << ours + "/files.checked" << ours + "/info";
    QTest::newRow("info in it") << ours + "/info" << ours + "/files" << ours + "/info.checked";
}

void TestTrashRace::swapAfterTheCheckTakesNothingAway()
{
    QFETCH(QString, swapped);
    QFETCH(QString, files);
    QFETCH(QString, info);

    if (!prepare())
        return;
    const QString mails = m_top + QStringLiteral("/mails");
    {
        QFile mail(mails + QStringLiteral("/x.eml"));
        QVERIFY(mail.open(QIODevice::WriteOnly));
        mail.write("From: a\r\n\r\nbody\r\n");
    }
    int swaps = 0;
    RecycleBinSeam::trashOpened = [&](const QString&) {
        const QString at = m_top + '/' + swapped;
        if (::rename(local(at).constData(), local(at + QStringLiteral(".checked")).constData()) ==
                0 &&
            ::symlink(local(m_top + QStringLiteral("/theirs/")).constData(),
                      local(at).constData()) == 0)
            ++swaps;
    };

    const int folder = ::open(local(mails).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folder >= 0);
    const auto closeFolder = qScopeGuard([folder] { ::close(folder); });
    QString reason = QStringLiteral("stale");
    QString trashFolder;
    const bool moved =
        SendToRecycleBinAt(folder, mails, "x.eml", TrashVerify(), &reason, &trashFolder);
    QCOMPARE(swaps, 1);
    QVERIFY2(moved, qPrintable(reason));
    QVERIFY(reason.isEmpty());
    QCOMPARE(trashFolder, m_top + QStringLiteral("/.Trash/") + m_uid);

    QVERIFY(!QFileInfo::exists(mails + QStringLiteral("/x.eml")));
    QCOMPARE(readFile(m_top + '/' + files + QStringLiteral("/x.eml")),
             QByteArray("From: a\r\n\r\nbody\r\n"));
    QCOMPARE(recordedPath(m_top + '/' + info + QStringLiteral("/x.eml.trashinfo")),
             QByteArray("mails/x.eml"));
    // Nothing reached the folder the link points to.
    QDirIterator theirs(m_top + QStringLiteral("/theirs"),
                        QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
    while (theirs.hasNext()) {
        const QString entry = theirs.next();
        QVERIFY2(QFileInfo(entry).isDir(), qPrintable(entry));
    }
}

void TestTrashRace::otherUserSwappingAllTheTime_data()
{
    QTest::addColumn<bool>("exchange");
    QTest::newRow("rename away, link in its place, link removed, rename back") << false;
    QTest::newRow("folder and link exchanged atomically") << true;
}

void TestTrashRace::otherUserSwappingAllTheTime()
{
    QFETCH(bool, exchange);

    if (!prepare())
        return;
    constexpr int kFiles = 400;
    const QString mails = m_top + QStringLiteral("/mails");
    for (int i = 0; i < kFiles; ++i) {
        QFile mail(mails + QStringLiteral("/mail-%1.eml").arg(i));
        QVERIFY(mail.open(QIODevice::WriteOnly));
        mail.write("mail " + QByteArray::number(i));
    }

    // Everything the other user's loop needs, made before the fork: it only makes system calls.
    const QByteArray theirs = local(m_top + QStringLiteral("/theirs"));
    const QByteArray ours = local(m_uid);
    const int shared = ::open(local(m_top + QStringLiteral("/.Trash")).constData(),
                              O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(shared >= 0);
    const auto closeShared = qScopeGuard([shared] { ::close(shared); });
    // Counted by the other user's process, read here.
    void* shm = ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    QVERIFY(shm != MAP_FAILED);
    const auto unmap = qScopeGuard([shm] { ::munmap(shm, sizeof(std::atomic<long>)); });
    auto* swaps = new (shm) std::atomic<long>(0);
    int ready[2];
    QCOMPARE(::pipe2(ready, O_CLOEXEC), 0);

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(ready[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const gid_t gid = gid_t(m_other);
        const char status = ::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 &&
                                    ::setresuid(m_other, m_other, m_other) == 0 &&
                                    ::getuid() == m_other
                                ? 'R'
                                : 'E';
        (void)!::write(ready[1], &status, 1);
        if (status != 'R')
            ::_exit(1);
        const char* uid = ours.constData();
        char hidden[] = "hidden-0000000000";
        for (unsigned long n = 0;; ++n) {
            if (exchange) {
                ::symlinkat(theirs.constData(), shared, "decoy");
                if (::renameat2(shared, uid, shared, "decoy", RENAME_EXCHANGE) == 0)
                    swaps->fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            // A fresh name each time: where the trash made a new folder meanwhile, the hidden
            // one cannot come back and stays aside.
            for (unsigned long k = n, at = sizeof hidden - 2; at > 6; k /= 10, --at)
                hidden[at] = char('0' + k % 10);
            if (::renameat(shared, uid, shared, hidden) != 0)
                continue;
            if (::symlinkat(theirs.constData(), shared, uid) == 0) {
                swaps->fetch_add(1, std::memory_order_relaxed);
                ::unlinkat(shared, uid, 0);
            }
            ::renameat(shared, hidden, shared, uid);
        }
    }
    ::close(ready[1]);
    pid_t running = child;
    const auto stopChild = [&running] {
        if (running > 0) {
            ::kill(running, SIGKILL);
            ::waitpid(running, nullptr, 0);
        }
        running = 0;
    };
    const auto stopOnReturn = qScopeGuard(stopChild);
    char status = 0;
    const bool started = ::read(ready[0], &status, 1) == 1 && status == 'R';
    ::close(ready[0]);
    if (!started)
        QSKIP("cannot act as another user here (setresuid to an unused uid refused)");
    QTRY_VERIFY2(swaps->load() > 0, "the other user never managed a swap");
    const long swapsBefore = swaps->load();

    const int folder = ::open(local(mails).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folder >= 0);
    const auto closeFolder = qScopeGuard([folder] { ::close(folder); });
    QHash<int, QString> refused;
    QSet<int> verified;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray text = "mail " + QByteArray::number(i);
        const auto sameText = [&](int filesFd, const QByteArray& trashName, QString* why) {
            if (readAt(filesFd, trashName) == text) {
                verified.insert(i);
                return true;
            }
            *why = QStringLiteral("Ce n'est pas le texte comparé.");
            return false;
        };
        QString reason;
        const QByteArray name = "mail-" + QByteArray::number(i) + ".eml";
        if (!SendToRecycleBinAt(folder, mails, name, sameText, &reason)) {
            QVERIFY(!reason.isEmpty());
            refused.insert(i, reason);
        }
    }
    stopChild();
    const long swapsDuring = swaps->load() - swapsBefore;

    // Every file is counted once: in its folder, or in a trash of ours beside its record.
    QHash<int, QString> found;
    QDirIterator it(m_top, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(m_top).relativeFilePath(path);
        QVERIFY2(!relative.startsWith(QLatin1String("theirs/")), qPrintable(relative));
        if (relative.endsWith(QLatin1String(".trashinfo")))
            continue;
        const QByteArray text = readFile(path);
        QVERIFY2(text.startsWith("mail "), qPrintable(relative));
        const int i = text.mid(5).toInt();
        QVERIFY2(!found.contains(i), qPrintable(relative + " and " + found.value(i)));
        found.insert(i, relative);
        const QString mail = QStringLiteral("mail-%1.eml").arg(i);
        if (relative == QStringLiteral("mails/") + mail) {
            QVERIFY2(refused.contains(i), qPrintable(relative));
            continue;
        }
        QVERIFY2(!refused.contains(i), qPrintable(relative + ": " + refused.value(i)));
        QVERIFY(verified.contains(i));
        const QFileInfo inTrash(path);
        QCOMPARE(inTrash.dir().dirName(), QStringLiteral("files"));
        const QString root = QFileInfo(inTrash.path()).path();
        QVERIFY2(isOurTrash(root), qPrintable(relative));
        QCOMPARE(recordedPath(root + QStringLiteral("/info/") + inTrash.fileName() +
                              QStringLiteral(".trashinfo")),
                 (QStringLiteral("mails/") + mail).toUtf8());
    }
    QCOMPARE(found.size(), kFiles);
    for (const QString& reason : std::as_const(refused)) {
        for (const char* english : {"No such", "denied", "not permitted", "exists"})
            QVERIFY2(!reason.contains(QLatin1String(english)), qPrintable(reason));
    }
    if (swapsDuring == 0)
        QSKIP("the other user's process got no time while the files were trashed");
}

QTEST_GUILESS_MAIN(TestTrashRace)
#include "tst_trashrace.moc"
