#include "base/PathRules.h"
#include "shell/RecycleBin.h"
#include "shell/ShellOpen.h"
#include "support/DialogAnswerer.h"
#include "support/FakeOpener.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

class TestShellOpen : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void opensTheTrashEachTime();
    void opensTheFolder_data();
    void opensTheFolder();
    void emptyFolderOpensNothingElse();
    void failingOpenerIsReported_data();
    void failingOpenerIsReported();
    void trashFallsBackToItsFilesFolder();
    void fallbackIsTheTrashTheScanUsed_data();
    void fallbackIsTheTrashTheScanUsed();

private:
    // Qt keeps the launcher it found first, so one fake serves the whole run.
    std::unique_ptr<FakeOpener> m_opener;
};

void TestShellOpen::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_opener = std::make_unique<FakeOpener>();
}

void TestShellOpen::init()
{
    m_opener->failFor({});
}

void TestShellOpen::cleanupTestCase()
{
    m_opener.reset();
}

void TestShellOpen::opensTheTrashEachTime()
{
    const QStringList before = m_opener->requests();
    OpenRecycleBin();
    OpenRecycleBin();
    QTRY_COMPARE(m_opener->requests().size(), before.size() + 2);
    QCOMPARE(m_opener->requests().mid(before.size()),
             (QStringList{QStringLiteral("trash:///"), QStringLiteral("trash:///")}));
}

void TestShellOpen::opensTheFolder_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("expectedTail");

    QTest::newRow("plain name") << QByteArray("mails") << QStringLiteral("/mails");
    QTest::newRow("space and accent are URL-encoded")
        << QByteArray("Bo\xc3\xaete re\xc3\xa7ue") << QStringLiteral("/Bo%C3%AEte%20re%C3%A7ue");
    QTest::newRow("a byte that is not UTF-8 is passed as itself")
        << QByteArray("bad\xff \xe9") << QStringLiteral("/bad%FF%20%E9");
}

void TestShellOpen::opensTheFolder()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, expectedTail);

    TempFolder root;
    const QByteArray raw = QFile::encodeName(root.path()) + '/' + name;
    QCOMPARE(::mkdir(raw.constData(), 0700), 0);
    const QStringList before = m_opener->requests();
    OpenFolderInFileManager(
        base::PathRules::fullName(root.path(), base::PathRules::decodeName(name)));
    QTRY_COMPARE(m_opener->requests().size(), before.size() + 1);
    QCOMPARE(m_opener->requests().last(),
             QString::fromLatin1(QUrl::fromLocalFile(root.path()).toEncoded()) + expectedTail);
    // The temporary folder cannot remove a name it cannot decode.
    ::rmdir(raw.constData());
}

void TestShellOpen::emptyFolderOpensNothingElse()
{
    const QStringList before = m_opener->requests();
    OpenFolderInFileManager(QString());
    // A sentinel request afterwards shows when the launcher has caught up.
    OpenRecycleBin();
    QTRY_VERIFY(m_opener->requests().endsWith(QStringLiteral("trash:///")));
    const QStringList added = m_opener->requests().mid(before.size());
    QVERIFY2(added == QStringList{QStringLiteral("trash:///")} ||
                 added == (QStringList{QString(), QStringLiteral("trash:///")}),
             qPrintable(added.join(QLatin1Char('|'))));
}

void TestShellOpen::failingOpenerIsReported_data()
{
    QTest::addColumn<bool>("trash");
    QTest::addColumn<QString>("folder"); // the folder to open, or the one the warning names

    const QString files = HomeTrashPath() + QStringLiteral("/files");
    QTest::newRow("folder") << false << QStringLiteral("/nowhere/Boîte reçue");
    QTest::newRow("trash: the warning names its files folder") << true << files;
}

void TestShellOpen::failingOpenerIsReported()
{
    QFETCH(bool, trash);
    QFETCH(QString, folder);

    m_opener->failFor({QStringLiteral("*")});
    const QStringList before = m_opener->requests();
    DialogAnswerer answerer;
    answerer.press(Qt::Key_Return);
    if (trash)
        OpenRecycleBin();
    else
        OpenFolderInFileManager(folder);
    QTRY_COMPARE(answerer.results(), QList<int>{1});
    QCOMPARE(answerer.texts(),
             QStringList{QStringLiteral("Impossible d'ouvrir le dossier \"%1\".\r\nVous pouvez "
                                        "l'ouvrir vous-même dans votre gestionnaire de fichiers.")
                             .arg(folder)});
    QCOMPARE(answerer.captions(), QStringList{QStringLiteral("Avertissement")});
    QStringList expected;
    if (trash)
        expected << QStringLiteral("trash:///");
    expected << QString::fromLatin1(QUrl::fromLocalFile(folder).toEncoded());
    QCOMPARE(m_opener->requests().mid(before.size()), expected);
}

void TestShellOpen::trashFallsBackToItsFilesFolder()
{
    m_opener->failFor({QStringLiteral("trash:///")});
    const QStringList before = m_opener->requests();
    DialogAnswerer answerer;
    answerer.setDefaultKeys({Qt::Key_Return}, 1);
    bool settled = false;
    bool opened = false;
    OpenRecycleBin([&](bool result) {
        settled = true;
        opened = result;
    });
    QTRY_VERIFY(settled);
    QVERIFY(opened);
    QCOMPARE(answerer.texts(), QStringList());
    const QString files = HomeTrashPath() + QStringLiteral("/files");
    QCOMPARE(m_opener->requests().mid(before.size()),
             (QStringList{QStringLiteral("trash:///"),
                          QString::fromLatin1(QUrl::fromLocalFile(files).toEncoded())}));
}

void TestShellOpen::fallbackIsTheTrashTheScanUsed_data()
{
    QTest::addColumn<bool>("filesOpen");
    QTest::newRow("its files folder is opened") << true;
    QTest::newRow("nothing opens: the warning names its files folder") << false;
}

// Files of a folder on another disk go to that disk's own trash: that is the one to show.
void TestShellOpen::fallbackIsTheTrashTheScanUsed()
{
    QFETCH(bool, filesOpen);

    TempFolder scratch;
    ScratchMount disk(scratch.filePath(QStringLiteral("disk")), 256);
    if (!disk.isMounted())
        QSKIP(qPrintable(QStringLiteral("needs a tmpfs in a mount namespace of its own (run as "
                                        "root): %1")
                             .arg(disk.error())));
    const QString mails = disk.path() + QStringLiteral("/mail");
    QVERIFY(QDir().mkpath(mails));
    {
        QFile file(mails + QStringLiteral("/x.eml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("Subject: x\r\n") > 0);
    }
    const int folder = ::open(QFile::encodeName(mails).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(folder >= 0);
    QString reason;
    QString trashRoot;
    const bool moved =
        SendToRecycleBinAt(folder, mails, "x.eml", TrashVerify(), &reason, &trashRoot);
    ::close(folder);
    QVERIFY2(moved, qPrintable(reason));
    QCOMPARE(trashRoot, disk.path() + QStringLiteral("/.Trash-%1").arg(::getuid()));
    RememberTrashUsed(trashRoot);
    const auto forget = qScopeGuard([] { RememberTrashUsed(QString()); });

    const QString files = trashRoot + QStringLiteral("/files");
    m_opener->failFor(filesOpen ? QStringList{QStringLiteral("trash:///")}
                                : QStringList{QStringLiteral("*")});
    const QStringList before = m_opener->requests();
    DialogAnswerer answerer;
    answerer.setDefaultKeys({Qt::Key_Return}, 1);
    bool settled = false;
    bool opened = false;
    OpenRecycleBin([&](bool result) {
        settled = true;
        opened = result;
    });
    QTRY_VERIFY(settled);
    QCOMPARE(opened, filesOpen);
    QCOMPARE(m_opener->requests().mid(before.size()),
             (QStringList{QStringLiteral("trash:///"),
                          QString::fromLatin1(QUrl::fromLocalFile(files).toEncoded())}));
    const QStringList warnings =
        filesOpen ? QStringList()
                  : QStringList{QStringLiteral("Impossible d'ouvrir le dossier \"%1\".\r\nVous "
                                               "pouvez l'ouvrir vous-même dans votre "
                                               "gestionnaire de fichiers.")
                                    .arg(files)};
    QCOMPARE(answerer.texts(), warnings);
}

QTEST_MAIN(TestShellOpen)
#include "tst_ShellOpen.moc"
