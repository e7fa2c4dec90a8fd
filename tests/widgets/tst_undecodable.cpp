#include "base/FolderListing.h"
#include "base/PathRules.h"
#include "scan/TextCodec.h"
#include "shell/RecycleBin.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QStandardPaths>
#include <QtTest>

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A file name that is not valid UTF-8 is listed, shown with its undecodable bytes as characters
// of their own, and converts back to exactly its own bytes: it is read like any other file and
// never reaches the file whose real name is its lossy decoding.
class TestUndecodable : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void roundTrip_data();
    void roundTrip();
    void textsThatNameNoFile_data();
    void textsThatNameNoFile();
    void readsItsOwnBytes_data();
    void readsItsOwnBytes();
    void trashesItsOwnBytes_data() { readsItsOwnBytes_data(); }
    void trashesItsOwnBytes();
};

void TestUndecodable::roundTrip_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::newRow("ascii") << QByteArray("plain.eml");
    QTest::newRow("valid utf-8") << QByteArray("caf\xc3\xa9.eml");
    QTest::newRow("latin-1 byte") << QByteArray("caf\xe9.eml");
    QTest::newRow("lone 0xff") << QByteArray("bad\xff.eml");
    QTest::newRow("encoded surrogate") << QByteArray("s\xed\xa0\x80.eml");
    QTest::newRow("cut sequence") << QByteArray("\xe2\x82");
    QTest::newRow("valid then invalid") << QByteArray("\xc3\xa9\xc3");
}

void TestUndecodable::roundTrip()
{
    QFETCH(QByteArray, raw);
    const QString shown = base::PathRules::decodeName(raw);
    QByteArray back;
    QVERIFY(base::PathRules::encodePath(shown, back));
    QCOMPARE(back, raw);
    QCOMPARE(base::PathRules::localPath(QStringLiteral("/d/") + shown), QByteArray("/d/") + raw);
}

void TestUndecodable::textsThatNameNoFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    QTest::newRow("high surrogate alone") << QString(QChar(char16_t(0xD800)));
    QTest::newRow("low surrogate below the byte range") << QString(QChar(char16_t(0xDC41)));
}

void TestUndecodable::textsThatNameNoFile()
{
    QFETCH(QString, text);
    QByteArray out("x");
    QVERIFY(!base::PathRules::encodePath(text, out));
    QVERIFY(out.isEmpty());
    QVERIFY(base::PathRules::localPath(text).isEmpty());
}

void TestUndecodable::readsItsOwnBytes_data()
{
    QTest::addColumn<QByteArray>("badName");
    QTest::addColumn<QString>("lookAlike");
    QTest::newRow("0xff") << QByteArray("bad\xff.eml") << QStringLiteral("bad\uFFFD.eml");
    QTest::newRow("latin-1") << QByteArray("caf\xe9.eml") << QStringLiteral("caf\u00e9.eml");
}

void TestUndecodable::readsItsOwnBytes()
{
    QFETCH(QByteArray, badName);
    QFETCH(QString, lookAlike);
    TempFolder folder;
    const QByteArray badPath = QFile::encodeName(folder.path()) + '/' + badName;
    const int fd = ::open(badPath.constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "own", 3), 3);
    ::close(fd);
    const QString lookAlikePath = folder.write(lookAlike, "other");

    const QStringList names = base::FolderListing::list(
        folder.path(), {}, base::FolderListing::FileKinds(base::FolderListing::ftNormal));
    QCOMPARE(names.size(), 2);
    QVERIFY(names[0] != names[1]);
    for (const QString& name : names) {
        const QString path = base::PathRules::fullName(folder.path(), name);
        QVERIFY(base::PathRules::isRegularFile(path));
        const QString expected =
            path == lookAlikePath ? QStringLiteral("other") : QStringLiteral("own");
        QCOMPARE(LoadTextFile(path), expected);
    }
    // The temporary folder cannot remove a name it cannot decode.
    ::unlink(badPath.constData());
}

void TestUndecodable::trashesItsOwnBytes()
{
    QFETCH(QByteArray, badName);
    QFETCH(QString, lookAlike);
    TempFolder home;
    TempFolder folder;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    const QByteArray badPath = QFile::encodeName(folder.path()) + '/' + badName;
    const int fd = ::open(badPath.constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    const QString lookAlikePath = folder.write(lookAlike, "other");

    const QStringList names = base::FolderListing::list(
        folder.path(), {}, base::FolderListing::FileKinds(base::FolderListing::ftNormal));
    QCOMPARE(names.size(), 2);
    const QString badShown =
        base::PathRules::fullName(folder.path(), names[0] == lookAlike ? names[1] : names[0]);
    QString reason;
    QVERIFY2(SendToRecycleBin(badShown, &reason), qPrintable(reason));

    // The file itself is in the trash under its own bytes; the look-alike has not moved.
    struct stat st;
    QCOMPARE(::lstat(badPath.constData(), &st), -1);
    QFile kept(lookAlikePath);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("other"));
    const QByteArray trash = QFile::encodeName(home.path()) + "/Trash";
    const QByteArray trashed = trash + "/files/" + badName;
    QCOMPARE(::lstat(trashed.constData(), &st), 0);
    const QByteArray record = trash + "/info/" + badName + ".trashinfo";
    QFile info;
    const int infoFd = ::open(record.constData(), O_RDONLY);
    QVERIFY(infoFd >= 0);
    QVERIFY(info.open(infoFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QList<QByteArray> lines = info.readAll().split('\n');
    QVERIFY(lines.size() > 1);
    // The record holds the original bytes, percent-encoded (0xFF as "%FF").
    QByteArray expected = "Path=";
    for (const char c : badPath) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && (std::isalnum(byte) || std::strchr("/-._~", byte)))
            expected += c;
        else
            expected += '%' + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
    }
    QCOMPARE(lines[1], expected);

    ::unlink(trashed.constData());
    ::unlink(record.constData());
    qunsetenv("XDG_DATA_HOME");
}

QTEST_MAIN(TestUndecodable)
#include "tst_undecodable.moc"
