#include "app/EFOpenError.h"
#include "scan/TextCodec.h"
#include "shell/RecycleBin.h"
#include "support/TempFolder.h"
#include "widgets/FolderListing.h"

#include <QDir>
#include <QStandardPaths>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

// A file name that is not valid UTF-8 is listed, but opening or trashing it never reaches the
// file whose real name is its decoded text.
class TestUndecodable : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void neverReachesTheLookAlike();
};

void TestUndecodable::neverReachesTheLookAlike()
{
    TempFolder folder, data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QByteArray base = QFile::encodeName(folder.path()) + '/';
    const QByteArray badName = base + "bad\xff.eml";
    const int fd = ::open(badName.constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "bytes", 5), 5);
    ::close(fd);
    // A file whose real name is what the bad name decodes to.
    const QString lookAlike = folder.write(QStringLiteral("bad\uFFFD.eml"), "other");

    const QStringList names =
        FolderListing::list(folder.path(), {}, FolderListing::FileKinds(FolderListing::ftNormal));
    QCOMPARE(names.size(), 2);
    QVERIFY(names[0] != names[1]);
    for (const QString& name : names) {
        const QString path = folder.path() + '/' + name;
        if (path == lookAlike)
            continue;
        QVERIFY_THROWS_EXCEPTION(EFOpenError, LoadTextFile(path));
        QString reason;
        QVERIFY(!SendToRecycleBin(path, &reason));
        QVERIFY(!reason.isEmpty());
    }
    QCOMPARE(LoadTextFile(lookAlike), QStringLiteral("other"));
    QVERIFY(QFile::exists(lookAlike));
    QVERIFY(::access(badName.constData(), F_OK) == 0);
    ::unlink(badName.constData());
}

QTEST_MAIN(TestUndecodable)
#include "tst_undecodable.moc"
