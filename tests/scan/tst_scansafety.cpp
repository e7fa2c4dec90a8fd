#include "scan/ScanRun.h"
#include "ScanFixture.h"

#include "dialogs/SystemSound.h"
#include "shell/RecycleBin.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

// What a scan may send to the trash when names are links, second names or paths through a bind
// mount, when files or the folder change at the very moment of the move, and when the trash
// refuses every file.
class TestScanSafety : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void sameFileIsNoCopy_data();
    void sameFileIsNoCopy();
    void linkNeverStandsForTheLastCopy_data();
    void linkNeverStandsForTheLastCopy();
    void referenceBecomesLinkToCandidateWhileAsked();
    void changeAtTheMomentOfTheMove_data();
    void changeAtTheMomentOfTheMove();
    void folderSwappedAtTheMomentOfTheMove();
    void unwritableTrash_data();
    void unwritableTrash();
};

namespace {

const QByteArray kMail = "From: a@example.org\r\nSubject: Réunion\r\n\r\nÀ demain.\r\n";

// Every entry of a folder as it is, links included (even those that lead nowhere from there).
QStringList entriesOf(const QString& folder)
{
    QStringList names;
    if (DIR* dir = opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names << QFile::decodeName(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isLink(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

quint64 inodeOf(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool rewrite(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool symlinkTo(const QString& target, const QString& link)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) ==
           0;
}

QString notMovedStart(const QString& path)
{
    return QStringLiteral("Impossible de placer le fichier \"%1\" dans la corbeille.\r\n")
        .arg(path);
}

} // namespace

void TestScanSafety::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    SetSoundRecorder([](unsigned) {});
}

void TestScanSafety::cleanup()
{
    RecycleBinSeam::trashOpened = {};
}

void TestScanSafety::sameFileIsNoCopy_data()
{
    QTest::addColumn<QString>("second");
    QTest::newRow("a hard link") << "hard link";
    QTest::newRow("a link by name") << "link";
    QTest::newRow("a link by absolute path") << "absolute link";
    QTest::newRow("a link through a bind mount of the folder") << "bind mount";
}

void TestScanSafety::sameFileIsNoCopy()
{
    QFETCH(QString, second);
    ScanFixture fx;
    const QString a = fx.write("a.eml", kMail);
    const QString z = fx.folder() + "/z.eml";
    TempFolder scratchPlace;
    ScratchMount scratch(scratchPlace.path() + "/tmp", 64);
    if (second == "hard link") {
        QCOMPARE(::link(QFile::encodeName(a).constData(), QFile::encodeName(z).constData()), 0);
    } else if (second == "link") {
        QVERIFY(symlinkTo("a.eml", z));
    } else if (second == "absolute link") {
        QVERIFY(symlinkTo(a, z));
    } else {
        if (!scratch.isMounted())
            QSKIP(qPrintable("no bind mount here: " + scratch.error()));
        QVERIFY(QDir(fx.folder()).mkdir("view"));
        QVERIFY(scratch.bind(fx.folder(), fx.folder() + "/view"));
        QVERIFY(symlinkTo("view/a.eml", z));
    }
    fx.setOption("MODE", "2");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    // Two names of one file: no copy, so nothing is found and nothing moves.
    QCOMPARE(ScanTexts::withoutTime(fx.answers.texts().last()), ScanTexts::summary(2, 0));
    QCOMPARE(form.scan()->DuplicateCount, 0);
    QCOMPARE(entriesOf(fx.trashFolder()), QStringList());
    QCOMPARE(contentOf(a), kMail);
}

void TestScanSafety::linkNeverStandsForTheLastCopy_data()
{
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("absolute");
    // The reference comes from the end of the list: the link is the first reference or the first
    // candidate.
    QTest::newRow("link named after the file") << "z.eml"
                                               << "a.eml" << false;
    QTest::newRow("link named before the file") << "a.eml"
                                                << "z.eml" << false;
    QTest::newRow("link by absolute path, named after") << "z.eml"
                                                        << "a.eml" << true;
}

void TestScanSafety::linkNeverStandsForTheLastCopy()
{
    QFETCH(QString, linkName);
    QFETCH(QString, fileName);
    QFETCH(bool, absolute);
    ScanFixture fx;
    TempFolder outside;
    const QString target = outside.write("o.eml", kMail.toUpper());
    const QString file = fx.write(fileName, kMail);
    QVERIFY(symlinkTo(absolute ? target : QDir(fx.folder()).relativeFilePath(target),
                      fx.folder() + "/" + linkName));
    fx.setOption("MODE", "2");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    QCOMPARE(form.scan()->DuplicateCount, 1);
    QCOMPARE(entriesOf(fx.folder()), QStringList{fileName});
    QVERIFY(!isLink(file));
    QCOMPARE(contentOf(file), kMail);
    QCOMPARE(entriesOf(fx.trashFolder()), QStringList{linkName});
    QVERIFY(isLink(fx.trashFolder() + "/" + linkName));
    QCOMPARE(contentOf(target), kMail.toUpper());
}

void TestScanSafety::referenceBecomesLinkToCandidateWhileAsked()
{
    ScanFixture fx;
    const QString x1 = fx.write("x1.txt", kMail);
    const QString x2 = fx.write("x2.txt", kMail);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "0");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return); // Comparer 2 fichiers ?
    // x2, the reference, becomes a link to x1, its candidate, while the question is open.
    fx.answers.inspect([&](QDialog*) {
        QVERIFY(QFile::remove(x2));
        QVERIFY(symlinkTo("x1.txt", x2));
    });
    fx.answers.press(Qt::Key_O);
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    const QStringList texts = fx.answers.texts();
    QVERIFY2(texts.size() >= 3, qPrintable(texts.join("\n---\n")));
    QVERIFY2(texts[2].startsWith(notMovedStart(x1)), qPrintable(texts[2]));
    QCOMPARE(entriesOf(fx.trashFolder()), QStringList());
    QCOMPARE(contentOf(x1), kMail);
    QVERIFY(form.scan()->DuplicateCount >= 1);
}

void TestScanSafety::changeAtTheMomentOfTheMove_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the candidate is rewritten in place")
        << "rewritten" << QStringLiteral("a changé depuis la comparaison.");
    QTest::newRow("the candidate is replaced by another file")
        << "replaced" << QStringLiteral("remplacé");
    QTest::newRow("the reference becomes a link to the candidate")
        << "reference link" << QStringLiteral("Le fichier de référence");
    QTest::newRow("the reference is removed")
        << "reference removed" << QStringLiteral("Le fichier de référence");
}

void TestScanSafety::changeAtTheMomentOfTheMove()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    ScanFixture fx;
    const QString x1 = fx.write("x1.txt", kMail);
    const QString x2 = fx.write("x2.txt", kMail);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    // After the last comparison, once the trash is ready and just before the rename.
    bool fired = false;
    RecycleBinSeam::trashOpened = [&](const QString&) {
        if (std::exchange(fired, true))
            return;
        if (fault == "rewritten") {
            QVERIFY(rewrite(x1, "Tout autre chose.\r\n"));
        } else if (fault == "replaced") {
            QVERIFY(QFile::remove(x1));
            QVERIFY(rewrite(x1, "Un autre message.\r\n"));
        } else if (fault == "reference link") {
            QVERIFY(QFile::remove(x2));
            QVERIFY(symlinkTo("x1.txt", x2));
        } else {
            QVERIFY(QFile::remove(x2));
        }
    };
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    QVERIFY(fired);
    const QStringList texts = fx.answers.texts();
    QVERIFY2(texts.size() >= 3, qPrintable(texts.join("\n---\n")));
    QVERIFY2(texts[1].startsWith(notMovedStart(x1)), qPrintable(texts[1]));
    QVERIFY2(texts[1].contains(reason), qPrintable(texts[1]));
    // Put back under its own name, with no record left behind.
    QCOMPARE(entriesOf(fx.trashFolder()), QStringList());
    QCOMPARE(entriesOf(fx.dataHome() + "/Trash/info"), QStringList());
    QVERIFY(QFile::exists(x1));
    if (fault == "rewritten")
        QCOMPARE(contentOf(x1), QByteArray("Tout autre chose.\r\n"));
    if (fault == "replaced")
        QCOMPARE(contentOf(x1), QByteArray("Un autre message.\r\n"));
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
}

void TestScanSafety::folderSwappedAtTheMomentOfTheMove()
{
    ScanFixture fx;
    TempFolder elsewhere;
    const QString x1 = fx.write("x1.txt", kMail);
    fx.write("x2.txt", kMail);
    const QString theirs = elsewhere.write("x1.txt", kMail);
    const quint64 compared = inodeOf(x1);
    const QString moved = fx.folder() + ".moved";
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    bool fired = false;
    // The folder's path now leads to another folder holding a file of the same name and text.
    RecycleBinSeam::trashOpened = [&](const QString&) {
        if (std::exchange(fired, true))
            return;
        QVERIFY(QDir().rename(fx.folder(), moved));
        QVERIFY(symlinkTo(elsewhere.path(), fx.folder()));
    };
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    QVERIFY(fired);
    // The other folder's file never moves; what went to the trash is the file compared.
    QCOMPARE(contentOf(theirs), kMail);
    QCOMPARE(entriesOf(elsewhere.path()), QStringList{"x1.txt"});
    QCOMPARE(entriesOf(fx.trashFolder()), QStringList{"x1.txt"});
    QCOMPARE(inodeOf(fx.trashFolder() + "/x1.txt"), compared);
    QCOMPARE(entriesOf(moved), QStringList{"x2.txt"});
    // The record sends it back where it really came from.
    const QByteArray record = contentOf(fx.dataHome() + "/Trash/info/x1.txt.trashinfo");
    QVERIFY2(record.contains("Path=" + QUrl::toPercentEncoding(moved + "/x1.txt", "/")),
             record.constData());
    QCOMPARE(form.scan()->DuplicateCount, 1);
    // Put things back as they were for the fixture's clean-up.
    QVERIFY(QFile::remove(fx.folder()));
    QVERIFY(QDir().rename(moved, fx.folder()));
}

void TestScanSafety::unwritableTrash_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<int>("found");
    // Two pairs; each duplicate is found from both sides, so each warns twice.
    QTest::newRow("OK on every warning goes on to the end") << int(Qt::Key_Return) << 4 << 4;
    QTest::newRow("Escape on the first warning ends the scan") << int(Qt::Key_Escape) << 1 << 1;
}

void TestScanSafety::unwritableTrash()
{
    QFETCH(int, key);
    QFETCH(int, warnings);
    QFETCH(int, found);
    ScanFixture fx;
    fx.write("x1.txt", kMail);
    fx.write("x2.txt", kMail);
    fx.write("y1.txt", "Autre chose.\r\n");
    fx.write("y2.txt", "Autre chose.\r\n");
    // A file where the trash should be: it can never be created.
    QVERIFY(rewrite(fx.dataHome() + "/Trash", "pas un dossier"));
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return); // Comparer 4 fichiers ?
    for (int i = 0; i < warnings; ++i)
        fx.answers.press(key);
    fx.answers.press(Qt::Key_Return); // summary
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();

    const QStringList texts = fx.answers.texts();
    QCOMPARE(texts.size(), warnings + 2);
    for (int i = 1; i <= warnings; ++i)
        QVERIFY2(texts[i].startsWith("Impossible de placer le fichier"), qPrintable(texts[i]));
    QCOMPARE(fx.answers.buttons()[1], (QStringList{"OK", "Annuler"}));
    QCOMPARE(ScanTexts::withoutTime(texts.last()), ScanTexts::summary(4, found, warnings));
    QCOMPARE(form.scan()->DuplicateCount, found);
    QCOMPARE(fx.filesInFolder(), (QStringList{"x1.txt", "x2.txt", "y1.txt", "y2.txt"}));
    QCOMPARE(fx.duplicatesListed(), QStringList());
}

QTEST_MAIN(TestScanSafety)
#include "tst_scansafety.moc"
