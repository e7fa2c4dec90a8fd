#include "shell/RecycleBin.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_RecycleBin : public QObject {
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

private:
    QStringList entries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
    }
    QString m_savedCwd;
    TempFolder* m_cwd = nullptr;
};

void tst_RecycleBin::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_savedCwd = QDir::currentPath();
}

void tst_RecycleBin::init()
{
    // An empty working folder shows any fallback that drops files relative to it.
    m_cwd = new TempFolder;
    QVERIFY(QDir::setCurrent(m_cwd->path()));
}

void tst_RecycleBin::cleanup()
{
    QVERIFY(entries(m_cwd->path()).isEmpty());
    QDir::setCurrent(m_savedCwd);
    delete m_cwd;
    m_cwd = nullptr;
    qunsetenv("XDG_DATA_HOME");
}

void tst_RecycleBin::movesIntoTrashWithRecord_data()
{
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<QString>("name");

    QTest::newRow("existing data folder") << QString() << QStringLiteral("mail1.eml");
    QTest::newRow("data folder not created yet")
        << QStringLiteral("not/yet/there") << QStringLiteral("mail1.eml");
    QTest::newRow("spaces, accents and percent signs are encoded")
        << QString() << QStringLiteral("Réponse à 100% #2.eml");
}

void tst_RecycleBin::movesIntoTrashWithRecord()
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

void tst_RecycleBin::sameNameTwiceKeepsBoth()
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

void tst_RecycleBin::refusesAndLeavesFileInPlace_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expectedReason");

    QTest::newRow("missing file") << "missing"
                                  << "Le fichier ou le dossier n'existe pas.";
    QTest::newRow("a folder is not trashed") << "folder"
                                             << "Ce n'est pas un fichier ordinaire.";
    QTest::newRow("a FIFO is not trashed") << "fifo"
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

void tst_RecycleBin::refusesAndLeavesFileInPlace()
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

void tst_RecycleBin::unencodableNameNeverReachesAnotherFile()
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

QTEST_GUILESS_MAIN(tst_RecycleBin)
#include "tst_RecycleBin.moc"
