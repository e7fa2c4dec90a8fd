// Files moved to the real trash with the journal written as a scan writes it, then put back from
// the journal read from disk: byte for byte, their records gone, and never over another file.
#include "shell/MoveJournal.h"
#include "shell/RecycleBin.h"
#include "shell/TrashRestore.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// By bytes: one name is not valid UTF-8 and must not go through a lossy decoding.
QByteArray readBytes(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray("(missing)");
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

bool writeBytes(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

bool exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// Names as bytes, sorted.
QList<QByteArray> entries(const QString& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The mails of a folder, one of them with a name that is not valid UTF-8.
const QList<std::pair<QByteArray, QByteArray>> kFiles{
    {"a.eml", "From: a\r\n\r\nbody\r\n"},
    {"caf\xe9.eml", QByteArrayLiteral("bytes \x00\xff kept\n")},
    {"c.eml", "From: c\r\n\r\nother\r\n"},
};

} // namespace

class TestTrashRestore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void restoresEveryFileByteForByte();
    void faults_data();
    void faults();
    void journalCutInALine_data();
    void journalCutInALine();

private:
    // Moves every file of kFiles through the trash as the scan does, journal included.
    void moveAll(MoveJournal& journal);
    QString trashFiles() const { return m_data->filePath(QStringLiteral("Trash/files")); }
    QString trashInfo() const { return m_data->filePath(QStringLiteral("Trash/info")); }
    QByteArray original(const QByteArray& name) const
    {
        return QFile::encodeName(m_mails->path()) + '/' + name;
    }

    std::unique_ptr<TempFolder> m_data;
    std::unique_ptr<TempFolder> m_state;
    std::unique_ptr<TempFolder> m_mails;
};

void TestTrashRestore::init()
{
    m_data = std::make_unique<TempFolder>();
    m_state = std::make_unique<TempFolder>();
    m_mails = std::make_unique<TempFolder>();
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
    for (const auto& [name, bytes] : kFiles)
        QVERIFY(writeBytes(original(name), bytes));
}

void TestTrashRestore::cleanup()
{
    // QTemporaryDir cannot remove a name that is not valid UTF-8.
    const QByteArray odd = kFiles[1].first;
    for (const QString& folder : {m_mails->path(), trashFiles(), trashInfo()}) {
        ::unlink((QFile::encodeName(folder) + '/' + odd).constData());
        ::unlink((QFile::encodeName(folder) + '/' + odd + ".trashinfo").constData());
    }
    QDir(m_mails->path() + QStringLiteral(".old")).removeRecursively();
    if (QDir(m_mails->path() + QStringLiteral(".old")).exists())
        ::unlink(
            (QFile::encodeName(m_mails->path() + QStringLiteral(".old")) + '/' + odd).constData());
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_STATE_HOME");
}

void TestTrashRestore::moveAll(MoveJournal& journal)
{
    const int folderFd =
        ::open(QFile::encodeName(m_mails->path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folderFd >= 0);
    journal.begin(m_mails->path());
    for (const auto& [name, bytes] : kFiles) {
        QString reason;
        const bool moved = SendToRecycleBinAt(
            folderFd, m_mails->path(), name, TrashVerify(), &reason, nullptr,
            [&](const QByteArray& root, const QByteArray& trashName, QString* why) {
                return journal.aboutToMove(folderFd, name, "ref.eml", root, trashName, why);
            });
        QVERIFY2(moved, qPrintable(reason));
        journal.moved();
    }
    ::close(folderFd);
    QVERIFY(entries(m_mails->path()).isEmpty());
}

void TestTrashRestore::restoresEveryFileByteForByte()
{
    MoveJournal journal;
    moveAll(journal);
    const QString path = journal.path();
    journal.end();

    const JournalContents read = MoveJournal::lastWithMoves(MoveJournal::folder());
    QVERIFY(read.valid);
    QCOMPARE(read.path, path);
    QCOMPARE(read.moves.size(), kFiles.size());
    QCOMPARE(read.inTrash(), kFiles.size());
    QCOMPARE(read.moves[1].name, kFiles[1].first);
    QCOMPARE(read.moves[1].reference, QByteArray("ref.eml"));
    QCOMPARE(read.moves[1].size, kFiles[1].second.size());

    const TrashRestore::Result result = TrashRestore::restore(read);
    QCOMPARE(result.restored, int(kFiles.size()));
    QVERIFY(result.failures.isEmpty());
    for (const auto& [name, bytes] : kFiles)
        QCOMPARE(readBytes(original(name)), bytes);
    QVERIFY(entries(trashFiles()).isEmpty());
    QVERIFY(entries(trashInfo()).isEmpty());

    // Marked in the journal: nothing is left to put back.
    QVERIFY(MoveJournal::appendRestored(path, result.restoredSequences, true));
    const JournalContents after = MoveJournal::read(path);
    QVERIFY(after.closed);
    QCOMPARE(after.inTrash(), 0);
    QCOMPARE(TrashRestore::restore(after).restored, 0);
}

void TestTrashRestore::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("original name taken by a new file")
        << "name-taken"
        << "Un autre fichier porte maintenant son nom dans le dossier d'origine.";
    QTest::newRow("trash entry emptied") << "emptied"
                                         << "Il n'est plus dans la corbeille.";
    QTest::newRow("trash entry replaced by another file of the same size")
        << "replaced"
        << "La corbeille contient sous son nom un autre fichier que celui qui y a été placé.";
    QTest::newRow("trash entry written to in the trash")
        << "changed"
        << "Il a été modifié depuis qu'il a été placé dans la corbeille.";
    QTest::newRow("original folder replaced by another of the same name")
        << "folder-replaced"
        << "Le dossier d'origine a été remplacé par un autre depuis l'analyse.";
}

void TestTrashRestore::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    MoveJournal journal;
    moveAll(journal);
    const QString path = journal.path();
    journal.end();

    const QByteArray victim = kFiles[0].first;
    const QByteArray inTrash = QFile::encodeName(trashFiles()) + '/' + victim;
    const QByteArray other(kFiles[0].second.size(), 'x');
    QString mailsPath = m_mails->path();
    if (fault == "name-taken") {
        QVERIFY(writeBytes(original(victim), "new file"));
    } else if (fault == "emptied") {
        QCOMPARE(::unlink(inTrash.constData()), 0);
    } else if (fault == "replaced") {
        // Written beside it first, so that it cannot take the freed inode.
        QVERIFY(writeBytes(inTrash + ".new", other));
        QCOMPARE(::rename((inTrash + ".new").constData(), inTrash.constData()), 0);
    } else if (fault == "changed") {
        QByteArray changed = kFiles[0].second;
        changed[0] = 'X';
        QVERIFY(writeBytes(inTrash, changed));
        // The same size, the same inode, a later time: another content all the same.
        timespec times[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, inTrash.constData(), times, 0), 0);
    } else if (fault == "folder-replaced") {
        QVERIFY(QDir().rename(mailsPath, mailsPath + QStringLiteral(".old")));
        QVERIFY(QDir().mkdir(mailsPath));
    }
    const QByteArray inTrashBefore = readBytes(inTrash);

    const TrashRestore::Result result = TrashRestore::restore(MoveJournal::read(path));
    if (fault == "folder-replaced") {
        QCOMPARE(result.restored, 0);
        QCOMPARE(result.failures.size(), kFiles.size());
        QVERIFY(entries(mailsPath).isEmpty());
        QCOMPARE(entries(trashFiles()).size(), kFiles.size());
        QVERIFY(QDir(mailsPath).removeRecursively());
        return;
    }
    QCOMPARE(result.restored, int(kFiles.size()) - 1);
    QCOMPARE(result.failures.size(), 1);
    QCOMPARE(result.failures[0].path, QFile::decodeName(original(victim)));
    QCOMPARE(result.failures[0].reason, reason);
    // Nothing overwritten, nothing lost: what was in the trash under that name is still there.
    QCOMPARE(readBytes(inTrash), inTrashBefore);
    if (fault == "name-taken")
        QCOMPARE(readBytes(original(victim)), QByteArray("new file"));
    else
        QVERIFY(!exists(original(victim)));
    for (qsizetype i = 1; i < kFiles.size(); ++i)
        QCOMPARE(readBytes(original(kFiles[i].first)), kFiles[i].second);
    // Only the records of the files that came back are gone.
    QCOMPARE(entries(trashInfo()), QList<QByteArray>{victim + ".trashinfo"});
}

void TestTrashRestore::journalCutInALine_data()
{
    QTest::addColumn<QByteArray>("cutInside");
    QTest::addColumn<int>("restored");
    QTest::addColumn<int>("leftInTrash");
    // Stopped after the second move, before its confirmation was whole: the trash holds it.
    QTest::newRow("cut in the second confirmation") << QByteArray("done 2 ") << 2 << 1;
    // Stopped while announcing the second move: that line is never trusted, and what the trash
    // holds under it stays there.
    QTest::newRow("cut in the second announcement") << QByteArray("move 2 ") << 1 << 2;
}

void TestTrashRestore::journalCutInALine()
{
    QFETCH(QByteArray, cutInside);
    QFETCH(int, restored);
    QFETCH(int, leftInTrash);
    MoveJournal journal;
    moveAll(journal);
    const QString path = journal.path();
    journal.end();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf("\n" + cutInside);
    QVERIFY(at > 0);
    QVERIFY(file.resize(at + 1 + cutInside.size() + 5));
    file.close();

    const JournalContents read = MoveJournal::read(path);
    QVERIFY(read.valid);
    const TrashRestore::Result result = TrashRestore::restore(read);
    QCOMPARE(result.restored, restored);
    QVERIFY(result.failures.isEmpty());
    QCOMPARE(entries(trashFiles()).size(), leftInTrash);
    for (qsizetype i = 0; i < restored; ++i)
        QCOMPARE(readBytes(original(kFiles[i].first)), kFiles[i].second);

    // The marks appended after the cut line still count.
    QVERIFY(MoveJournal::appendRestored(path, result.restoredSequences, true));
    const JournalContents after = MoveJournal::read(path);
    QVERIFY(after.closed);
    QCOMPARE(after.inTrash(), 0);
}

QTEST_GUILESS_MAIN(TestTrashRestore)
#include "tst_trashrestore.moc"
