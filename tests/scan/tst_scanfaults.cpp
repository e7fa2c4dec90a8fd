#include "scan/ScanRun.h"
#include "ScanFixture.h"

#include "app/TwindropApplication.h"
#include "dialogs/AppTitle.h"
#include "dialogs/SystemSound.h"
#include "widgets/TJvFileListBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// Faults made for real while a scan runs, in the folder it walks: files rewritten, removed or
// replaced by a FIFO, the folder itself taken away, files grown past what the loader reads.
namespace {

const QByteArray kMail = "From: a@example.org\r\nSubject: Réunion\r\n\r\nÀ demain.\r\n";
const QByteArray kOther = "From: b@example.org\r\nSubject: Autre\r\n\r\nRien du tout.\r\n";

constexpr off_t kTwoGiB = off_t(2) * 1024 * 1024 * 1024;

QStringList withoutTimes(QStringList texts)
{
    for (QString& text : texts)
        text = ScanTexts::withoutTime(text);
    return texts;
}

QString notMovedStart(const QString& path)
{
    return QStringLiteral("Impossible de placer le fichier \"%1\" dans la corbeille.\r\n")
        .arg(path);
}

const QString kNotMovedEnd = QStringLiteral("\r\nLe fichier reste à sa place.");

// Runs a callback once, inside the scan, the first time it counts a duplicate (with its beep):
// after that file was compared and before it is moved, and before any later reference is loaded.
// Deterministic, unlike a hook on the window's refresh, which is paced by the clock.
void atFirstBeep(TForm1& form, std::function<void()> action)
{
    auto fired = std::make_shared<bool>(false);
    SetSoundRecorder([=](unsigned) {
        if (!std::exchange(*fired, true))
            action();
    });
    form.chk_BEEP()->setChecked(true);
}

bool rewrite(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The name given to a FIFO: opening it for reading would wait for a writer that never comes.
bool replaceByFifo(const QString& path)
{
    const QByteArray local = QFile::encodeName(path);
    return ::unlink(local.constData()) == 0 && ::mkfifo(local.constData(), 0644) == 0;
}

bool isFifo(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Whether this file system keeps a sparse file of 2 GiB (some tmpfs are smaller).
bool canHoldTwoGiB(const QString& folder)
{
    const QString probe = folder + "/.sparse-probe";
    QFile file(probe);
    const bool ok = file.open(QIODevice::WriteOnly) && file.resize(kTwoGiB);
    file.remove();
    return ok;
}

bool growToTwoGiB(const QString& path)
{
    return ::truncate(QFile::encodeName(path).constData(), kTwoGiB) == 0;
}

} // namespace

class TestScanFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void fileChangesWhileQuestionIsOpen_data();
    void fileChangesWhileQuestionIsOpen();
    void fileChangesBetweenFingerprintAndComparison_data();
    void fileChangesBetweenFingerprintAndComparison();
    void fileChangesBetweenComparisonAndMove_data();
    void fileChangesBetweenComparisonAndMove();
    void folderTakenAwayDuringScan_data();
    void folderTakenAwayDuringScan();
    void laterCandidateOfThePassChanges_data();
    void laterCandidateOfThePassChanges();
    void referenceGrownPastTwoGiBDuringScan();
    void candidateGrownPastTwoGiBDuringScan();
};

void TestScanFaults::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    SetSoundRecorder([](unsigned) {});
}

void TestScanFaults::cleanup()
{
    SetSoundRecorder([](unsigned) {});
}

void TestScanFaults::fileChangesWhileQuestionIsOpen_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("remaining");
    const QString changed = QStringLiteral("a changé depuis la comparaison.");
    const QString cannotOpen = QStringLiteral("Impossible d'ouvrir le fichier");
    // x2 is the first reference and x1 its duplicate; a1 and a2 are a pair handled after.
    QTest::newRow("the candidate is rewritten")
        << "candidate rewritten" << changed << QStringList{"a2.txt", "x1.txt", "x2.txt"};
    QTest::newRow("the reference is rewritten")
        << "reference rewritten" << changed << QStringList{"a2.txt", "x1.txt", "x2.txt"};
    QTest::newRow("the candidate is deleted")
        << "candidate deleted" << cannotOpen << QStringList{"a2.txt", "x2.txt"};
    QTest::newRow("the reference is deleted")
        << "reference deleted" << QStringLiteral("Le fichier de référence ne peut plus être lu")
        << QStringList{"a2.txt", "x1.txt"};
    // QDir lists no FIFO: x1 is checked apart.
    QTest::newRow("the candidate is replaced by a FIFO")
        << "candidate FIFO" << QStringLiteral("Ce n'est pas un fichier ordinaire.")
        << QStringList{"a2.txt", "x2.txt"};
}

void TestScanFaults::fileChangesWhileQuestionIsOpen()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QFETCH(QStringList, remaining);
    ScanFixture fx;
    const QString x1 = fx.write("x1.txt", kMail);
    const QString x2 = fx.write("x2.txt", kMail);
    fx.write("a1.txt", kOther);
    fx.write("a2.txt", kOther);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "0");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return); // Comparer 4 fichiers ?
    fx.answers.inspect([&](QDialog*) {
        if (fault == "candidate rewritten")
            QVERIFY(rewrite(x1, "Tout autre chose.\r\n"));
        else if (fault == "reference rewritten")
            QVERIFY(rewrite(x2, "Tout autre chose.\r\n"));
        else if (fault == "candidate deleted")
            QVERIFY(QFile::remove(x1));
        else if (fault == "reference deleted")
            QVERIFY(QFile::remove(x2));
        else if (fault == "candidate FIFO")
            QVERIFY(replaceByFifo(x1));
    });
    fx.answers.press(Qt::Key_O);      // x2 finds x1: "&Oui"
    fx.answers.press(Qt::Key_Return); // the warning
    fx.answers.press(Qt::Key_O);      // a2 finds a1: "&Oui"
    fx.answers.press(Qt::Key_Return); // summary
    // A dialog more than these is told apart in the texts rather than left waiting.
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();

    const QStringList texts = withoutTimes(fx.answers.texts());
    QCOMPARE(texts.size(), 5);
    QCOMPARE(texts[0], QStringLiteral("Comparer 4 fichiers ?"));
    QVERIFY2(texts[1].contains("x2.txt\r\n&&\r\nx1.txt"), qPrintable(texts[1]));
    QVERIFY2(texts[2].startsWith(notMovedStart(x1)), qPrintable(texts[2]));
    QVERIFY2(texts[2].endsWith(kNotMovedEnd), qPrintable(texts[2]));
    QVERIFY2(texts[2].contains(reason), qPrintable(texts[2]));
    QCOMPARE(fx.answers.captions()[2], QStringLiteral("Avertissement"));
    QVERIFY2(texts[3].contains("a2.txt\r\n&&\r\na1.txt"), qPrintable(texts[3]));
    // The duplicate found counts, though it stayed; the scan went on to the next pair.
    QCOMPARE(texts[4], ScanTexts::summary(4, 2, 1));
    QCOMPARE(form.scan()->DuplicateCount, 2);
    QCOMPARE(form.statusText(3), QStringLiteral("2"));

    QCOMPARE(fx.filesInFolder(), remaining);
    QCOMPARE(fx.filesInTrash(), QStringList{"a1.txt"});
    QCOMPARE(fx.duplicatesListed(), QStringList{"a1.txt"});
    if (fault == "candidate FIFO")
        QVERIFY(isFifo(x1));
    if (fault == "candidate rewritten")
        QCOMPARE(contentOf(x1), QByteArray("Tout autre chose.\r\n"));
    if (fault == "reference rewritten")
        QCOMPARE(contentOf(x1), kMail);
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
}

void TestScanFaults::fileChangesBetweenFingerprintAndComparison_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QStringList>("trashed");
    // Every file is fingerprinted before the first reference, z2, whose pass finds z1: the fault
    // comes then. y4 is the next reference; its candidates are walked y3, y2, y1, all fingerprinted
    // equal to it.
    QTest::newRow("a candidate becomes different: it stays")
        << "y2 rewritten" << QStringList{"y2.txt", "y4.txt", "z2.txt"}
        << QStringList{"y1.txt", "y3.txt", "z1.txt"};
    QTest::newRow("a candidate vanishes: it is passed over")
        << "y3 deleted" << QStringList{"y4.txt", "z2.txt"}
        << QStringList{"y1.txt", "y2.txt", "z1.txt"};
    // y4's pass finds nothing; y3's pass then finds y2 and y1 (y4 no longer equals them).
    QTest::newRow("the reference becomes different: it finds none")
        << "y4 rewritten" << QStringList{"y3.txt", "y4.txt", "z2.txt"}
        << QStringList{"y1.txt", "y2.txt", "z1.txt"};
    QTest::newRow("the reference vanishes: no pass")
        << "y4 deleted" << QStringList{"y3.txt", "z2.txt"}
        << QStringList{"y1.txt", "y2.txt", "z1.txt"};
}

void TestScanFaults::fileChangesBetweenFingerprintAndComparison()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, remaining);
    QFETCH(QStringList, trashed);
    ScanFixture fx;
    for (const char* name : {"y1.txt", "y2.txt", "y3.txt", "y4.txt"})
        fx.write(name, kMail);
    fx.write("z1.txt", kOther);
    fx.write("z2.txt", kOther);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    const QStringList words = fault.split(' ');
    const QString who = fx.folder() + "/" + words[0] + ".txt";
    atFirstBeep(form, [&] {
        if (words[1] == "rewritten")
            QVERIFY(rewrite(who, "Un autre texte.\r\n"));
        else
            QVERIFY(QFile::remove(who));
    });
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    QCOMPARE(withoutTimes(fx.answers.texts()),
             (QStringList{"Comparer 6 fichiers ?", ScanTexts::summary(6, int(trashed.size()))}));
    QCOMPARE(fx.filesInFolder(), remaining);
    QCOMPARE(fx.filesInTrash(), trashed);
    QCOMPARE(fx.duplicatesListed(), trashed);
    QCOMPARE(form.scan()->DuplicateCount, trashed.size());
    // Only copies of an unchanged text were moved, each with an equal copy still in the folder.
    for (const QString& name : trashed)
        QCOMPARE(contentOf(fx.trashFolder() + "/" + name), name[0] == 'z' ? kOther : kMail);
}

void TestScanFaults::fileChangesBetweenComparisonAndMove_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("warned");
    QTest::addColumn<int>("found");
    QTest::addColumn<QStringList>("remaining");
    // z3 is the first reference and z2 the first duplicate it finds; the fault comes with the
    // beep that counts z2, after the comparison and before the move. z1 is moved by z3's pass, or
    // by z2's.
    const QString changed = QStringLiteral("a changé depuis la comparaison.");
    QTest::newRow("the candidate is rewritten")
        << "candidate rewritten" << changed << QStringList{"z2.txt"} << 2
        << QStringList{"z2.txt", "z3.txt"};
    QTest::newRow("the candidate is deleted")
        << "candidate deleted" << QStringLiteral("Impossible d'ouvrir le fichier")
        << QStringList{"z2.txt"} << 2 << QStringList{"z3.txt"};
    QTest::newRow("the candidate is replaced by a FIFO")
        << "candidate FIFO" << QStringLiteral("Ce n'est pas un fichier ordinaire.")
        << QStringList{"z2.txt"} << 2 << QStringList{"z3.txt"};
    // z3 now holds another text: its pass ends there, and z2's pass moves z1.
    QTest::newRow("the reference is rewritten")
        << "reference rewritten" << changed << QStringList{"z2.txt"} << 2
        << QStringList{"z2.txt", "z3.txt"};
}

void TestScanFaults::fileChangesBetweenComparisonAndMove()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QFETCH(QStringList, warned);
    QFETCH(int, found);
    QFETCH(QStringList, remaining);
    ScanFixture fx;
    for (const char* name : {"z1.txt", "z2.txt", "z3.txt"})
        fx.write(name, kMail);
    const QString z2 = fx.folder() + "/z2.txt";
    const QString z3 = fx.folder() + "/z3.txt";
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    atFirstBeep(form, [&] {
        if (fault == "candidate rewritten")
            QVERIFY(rewrite(z2, "Tout autre chose.\r\n"));
        else if (fault == "candidate deleted")
            QVERIFY(QFile::remove(z2));
        else if (fault == "candidate FIFO")
            QVERIFY(replaceByFifo(z2));
        else if (fault == "reference rewritten")
            QVERIFY(rewrite(z3, "Tout autre chose.\r\n"));
    });
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    const QStringList texts = withoutTimes(fx.answers.texts());
    QCOMPARE(texts.size(), warned.size() + 2);
    for (int i = 0; i < warned.size(); ++i) {
        const QString& text = texts[i + 1];
        QVERIFY2(text.startsWith(notMovedStart(fx.folder() + "/" + warned[i])), qPrintable(text));
        QVERIFY2(text.endsWith(kNotMovedEnd), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QCOMPARE(fx.answers.captions()[i + 1], QStringLiteral("Avertissement"));
    }
    // Every duplicate found is counted, moved or not.
    QCOMPARE(texts.last(), ScanTexts::summary(3, found, int(warned.size())));
    QCOMPARE(form.scan()->DuplicateCount, found);
    QCOMPARE(fx.filesInFolder(), remaining);
    QCOMPARE(fx.filesInTrash(), QStringList{"z1.txt"});
    QCOMPARE(fx.duplicatesListed(), QStringList{"z1.txt"});
    QCOMPARE(contentOf(fx.trashFolder() + "/z1.txt"), kMail);
    if (fault == "candidate FIFO")
        QVERIFY(isFifo(z2));
}

void TestScanFaults::folderTakenAwayDuringScan_data()
{
    QTest::addColumn<bool>("renamed");
    QTest::newRow("renamed away") << true;
    QTest::newRow("removed with its files") << false;
}

void TestScanFaults::folderTakenAwayDuringScan()
{
    QFETCH(bool, renamed);
    ScanFixture fx;
    QMap<QString, QByteArray> written;
    for (const char* name : {"f1.txt", "f2.txt", "f3.txt", "g1.txt", "g2.txt"}) {
        const QByteArray bytes = name[0] == 'f' ? kMail : kOther;
        fx.write(name, bytes);
        written.insert(name, bytes);
    }
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    TempFolder elsewhere;
    const QString away = elsewhere.path() + "/away";
    // g2 is the first reference: the folder goes while g1, its duplicate, is about to be moved.
    atFirstBeep(form, [&] {
        if (renamed)
            QVERIFY(QDir().rename(fx.folder(), away));
        else
            QVERIFY(QDir(fx.folder()).removeRecursively());
    });
    auto restore = qScopeGuard([&] {
        // The fixture removes its own folder.
        if (renamed)
            QDir().rename(away, fx.folder());
    });
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    QVERIFY(!QFileInfo::exists(fx.folder()));
    const QStringList texts = withoutTimes(fx.answers.texts());
    QCOMPARE(texts.first(), QStringLiteral("Comparer 5 fichiers ?"));
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
    if (renamed) {
        // The scan works in the folder it opened, under whatever name: the duplicates there go
        // to the trash, each record naming where the file now really was, and one copy of each
        // text stays.
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.last(), ScanTexts::summary(5, 3));
        QCOMPARE(fx.filesInTrash(), (QStringList{"f1.txt", "f2.txt", "g1.txt"}));
        QCOMPARE(QDir(away).entryList(QDir::Files, QDir::Name), (QStringList{"f3.txt", "g2.txt"}));
        QFile record(fx.dataHome() + "/Trash/info/g1.txt.trashinfo");
        QVERIFY(record.open(QIODevice::ReadOnly));
        QVERIFY(
            record.readAll().contains("Path=" + QUrl::toPercentEncoding(away, "/") + "/g1.txt"));
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            const QString where = QFileInfo::exists(away + "/" + it.key())
                                      ? away + "/" + it.key()
                                      : fx.trashFolder() + "/" + it.key();
            QCOMPARE(contentOf(where), it.value());
        }
        return;
    }
    // g1 was found, but the folder had gone when it was to be moved; every later reference is
    // gone with it, and candidates are looked for in a folder that cannot be read: none.
    QCOMPARE(texts.size(), 3);
    QVERIFY2(texts[1].startsWith(notMovedStart(fx.folder() + "/g1.txt") +
                                 "Impossible d'ouvrir le fichier"),
             qPrintable(texts[1]));
    QVERIFY2(texts[1].endsWith(kNotMovedEnd), qPrintable(texts[1]));
    QCOMPARE(texts.last(), ScanTexts::summary(5, 1, 1));
    QVERIFY(fx.filesInTrash().isEmpty());
}

void TestScanFaults::laterCandidateOfThePassChanges_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("remaining");
    // A FIFO is no mail: like a file gone, it is passed over, and never opened (that would wait).
    QTest::newRow("replaced by a FIFO: passed over") << "FIFO" << QStringList{"p4.txt"};
    QTest::newRow("deleted: passed over") << "deleted" << QStringList{"p4.txt"};
    QTest::newRow("rewritten: it stays") << "rewritten" << QStringList{"p2.txt", "p4.txt"};
}

void TestScanFaults::laterCandidateOfThePassChanges()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, remaining);
    ScanFixture fx;
    for (const char* name : {"p1.txt", "p2.txt", "p3.txt", "p4.txt"})
        fx.write(name, kMail);
    const QString p2 = fx.folder() + "/p2.txt";
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    // p4's pass finds p3 first; p2, fingerprinted equal, has changed when its turn comes.
    atFirstBeep(form, [&] {
        if (fault == "FIFO")
            QVERIFY(replaceByFifo(p2));
        else if (fault == "deleted")
            QVERIFY(QFile::remove(p2));
        else
            QVERIFY(rewrite(p2, "Tout autre chose.\r\n"));
    });
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    QCOMPARE(withoutTimes(fx.answers.texts()),
             (QStringList{"Comparer 4 fichiers ?", ScanTexts::summary(4, 2)}));
    if (fault == "FIFO")
        QVERIFY(isFifo(p2));
    QCOMPARE(fx.filesInFolder(), remaining);
    QCOMPARE(fx.filesInTrash(), (QStringList{"p1.txt", "p3.txt"}));
    QCOMPARE(fx.duplicatesListed(), (QStringList{"p1.txt", "p3.txt"}));
    QCOMPARE(form.scan()->DuplicateCount, 2);
}

void TestScanFaults::referenceGrownPastTwoGiBDuringScan()
{
    ScanFixture fx;
    if (!canHoldTwoGiB(fx.folder()))
        QSKIP("The temporary folder's file system cannot hold a sparse file of 2 GiB.");
    fx.write("a1.txt", kOther);
    fx.write("a2.txt", kOther);
    const QString big = fx.write("g.txt", kMail);
    fx.write("h1.txt", kMail);
    fx.write("h2.txt", kMail);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    // While h2 is the reference, g (fingerprinted small) grows.
    atFirstBeep(form, [&] { QVERIFY(growToTwoGiB(big)); });
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    QCOMPARE(withoutTimes(fx.answers.texts()),
             (QStringList{"Comparer 5 fichiers ?",
                          "ERREUR 346 COMPARERExecute : Appel de Charge1\r\nImpossible d'ouvrir le "
                          "fichier \"" +
                              big + "\". Le fichier fait 2 Go ou plus.",
                          ScanTexts::summary(5, 2)}));
    // The scan went on after g: a2's pass moved a1.
    QCOMPARE(fx.filesInFolder(), (QStringList{"a2.txt", "g.txt", "h2.txt"}));
    QCOMPARE(fx.filesInTrash(), (QStringList{"a1.txt", "h1.txt"}));
    QCOMPARE(QFileInfo(big).size(), qint64(kTwoGiB));
    QCOMPARE(form.scan()->DuplicateCount, 2);
}

void TestScanFaults::candidateGrownPastTwoGiBDuringScan()
{
    ScanFixture fx;
    if (!canHoldTwoGiB(fx.folder()))
        QSKIP("The temporary folder's file system cannot hold a sparse file of 2 GiB.");
    for (const char* name : {"k1.txt", "k2.txt", "k3.txt", "k4.txt"})
        fx.write(name, kMail);
    const QString big = fx.folder() + "/k2.txt";
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    // k4's pass finds k3 first; k2 has grown when its turn comes.
    atFirstBeep(form, [&] { QVERIFY(growToTwoGiB(big)); });
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    // k4's pass moves k3, then k2 cannot be loaded: that error ends the scan, without summary.
    QCOMPARE(fx.answers.texts(),
             (QStringList{"Comparer 4 fichiers ?", "Impossible d'ouvrir le fichier \"" + big +
                                                       "\". Le fichier fait 2 Go ou plus."}));
    QCOMPARE(fx.answers.captions().last(), ApplicationTitle());
    QCOMPARE(fx.filesInFolder(), (QStringList{"k1.txt", "k2.txt", "k4.txt"}));
    QCOMPARE(fx.filesInTrash(), QStringList{"k3.txt"});
    QCOMPARE(fx.duplicatesListed(), QStringList{"k3.txt"});
    QCOMPARE(form.scan()->DuplicateCount, 1);
    QCOMPARE(form.statusText(3), QStringLiteral("1"));
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
    QVERIFY(!form.Panel_GAUGE()->isVisible());
}

int main(int argc, char** argv)
{
    // The application's own, so that an error leaving the scan reaches the general error report.
    TwindropApplication app(argc, argv);
    TestScanFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scanfaults.moc"
