// The trash meeting real faults on small tmpfs mounts: a full disk, a files folder it may not
// write, a file behind another mount. The file stays where it is, no record is left behind,
// and the reason is a French sentence.
#include "shell/RecycleBin.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QByteArray kMail = "From: a\r\n\r\nbody\r\n";

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Root writes through permissions; the immutable flag stops it.
bool makeUnwritable(const QString& folder)
{
    if (::geteuid() != 0)
        return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    ::close(fd);
    return done;
}

// Every .trashinfo under the folder, wherever a trash was made.
QStringList records(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, {QStringLiteral("*.trashinfo")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

class TestTrashFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { qunsetenv("XDG_DATA_HOME"); }
    void fileStaysWithoutRecord_data();
    void fileStaysWithoutRecord();
};

void TestTrashFaults::fileStaysWithoutRecord_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expectedWords");

    QTest::newRow("disk full: the record cannot be written") << "full"
                                                             << "plein";
    QTest::newRow("Trash/files may not be written") << "files-unwritable"
                                                    << "refusé";
    QTest::newRow("file behind a mount point of its own: no rename across it")
        << "own-mount"
        << "autre système de fichiers";
    QTest::newRow("other file system, its trash blocked by a file") << "other-blocked"
                                                                    << "corbeille";
    QTest::newRow("other file system, full: its record cannot be written") << "other-full"
                                                                           << "plein";
}

void TestTrashFaults::fileStaysWithoutRecord()
{
    QFETCH(QString, fault);
    QFETCH(QString, expectedWords);

    TempFolder folder;
    ScratchMount disk(folder.filePath("disk"), 128);
    if (!disk.isMounted())
        QSKIP(qPrintable(QStringLiteral("needs a tmpfs in a mount namespace of its own (run as "
                                        "root): %1")
                             .arg(disk.error())));
    const QString dataHome = disk.path() + QStringLiteral("/data");
    const QString trash = dataHome + QStringLiteral("/Trash");
    QVERIFY(QDir().mkpath(trash + QStringLiteral("/files")));
    QVERIFY(QDir().mkpath(trash + QStringLiteral("/info")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));

    const bool other = fault.startsWith(QLatin1String("other"));
    ScratchMount otherDisk(folder.filePath("other"), other ? 64 : 4);
    QVERIFY2(otherDisk.isMounted(), qPrintable(otherDisk.error()));
    const QString mails = (other ? otherDisk.path() : disk.path()) + QStringLiteral("/mail");
    QVERIFY(QDir().mkpath(mails));
    const QString path = mails + QStringLiteral("/x.eml");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(kMail), kMail.size());
    }

    if (fault == QLatin1String("full")) {
        QVERIFY(disk.fill());
    } else if (fault == QLatin1String("files-unwritable")) {
        QVERIFY2(makeUnwritable(trash + QStringLiteral("/files")),
                 "cannot make the trash's files folder unwritable");
    } else if (fault == QLatin1String("own-mount")) {
        QVERIFY(disk.bindToItself(mails));
    } else if (fault == QLatin1String("other-blocked")) {
        QFile blocker(otherDisk.path() + QStringLiteral("/.Trash-%1").arg(::getuid()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else if (fault == QLatin1String("other-full")) {
        QVERIFY(otherDisk.fill());
    }

    QString reason;
    QVERIFY(!SendToRecycleBin(path, &reason));

    QCOMPARE(readBytes(path), kMail);
    QCOMPARE(QDir(mails).entryList(QDir::Files | QDir::Hidden), QStringList{"x.eml"});
    QCOMPARE(QDir(trash + QStringLiteral("/files"))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(records(disk.path()), QStringList());
    QCOMPARE(records(otherDisk.path()), QStringList());
    QVERIFY2(reason.contains(expectedWords), qPrintable(reason));
    // The system's own English texts never reach the user.
    for (const char* english : {"No space", "Read-only", "cross-device", "not permitted", "denied"})
        QVERIFY2(!reason.contains(QLatin1String(english)), qPrintable(reason));
}

QTEST_GUILESS_MAIN(TestTrashFaults)
#include "tst_trashfaults.moc"
