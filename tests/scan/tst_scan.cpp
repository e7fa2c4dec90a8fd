#include "ScanFixture.h"
#include "ScanModel.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include "dialogs/SystemSound.h"
#include "scan/ScanRun.h"
#include "scan/TextCodec.h"
#include "scan/TMemo.h"
#include "settings/SettingsHelpers.h"
#include "widgets/TGauge.h"
#include "widgets/TJvFileListBox.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kMail = "From: a@example.org\r\nSubject: Réunion\r\n\r\nÀ demain.\r\n";
const QByteArray kOther = "From: b@example.org\r\nSubject: Autre\r\n\r\nRien.\r\n";

// Runs a callback once, from the event loop, the first time the scan chooses candidates.
void atFirstCandidates(TForm1& form, std::function<void()> action)
{
    auto fired = std::make_shared<bool>(false);
    QObject::connect(form.JvFileListBox2(), &TJvFileListBox::OnChange, &form, [=, &form] {
        if (*fired || !form.scan()->isRunning())
            return;
        *fired = true;
        QTimer::singleShot(0, &form, action);
    });
}

} // namespace

class TestScan : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void exampleOfThreeFiles_data();
    void exampleOfThreeFiles();
    void manualAnswers_data();
    void manualAnswers();
    void questionTextIsExact();
    void beepKinds_data();
    void beepKinds();
    void emptyMainList();
    void cancelAtFirstQuestionChangesNothing();
    void gaugeAndPositionWalkBackwards();
    void duplicatesListedAlphabetically();
    void escapeStopsScan();
    void closeDuringScanStopsThenSecondCloseSaves();
    void buttonDuringScanOnlyStops();
    void newMaskDuringScanStopsCleanly_data();
    void newMaskDuringScanStopsCleanly();
    void referenceLoadFailureReportedAndScanGoesOn();
    void trashFailureReportedAndFileKept();
    void textTooLongForPane_data();
    void textTooLongForPane();
    void textTooLongForPaneBySize_data() { textTooLongForPane_data(); }
    void textTooLongForPaneBySize();
    void referenceLinkedToCandidateIsNotTrashed();
    void clickOnCandidateDuringScanDoesNotChangeReference();
    void randomFolders_data();
    void randomFolders();
};

void TestScan::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    SetSoundRecorder([](unsigned) {});
}

void TestScan::cleanup()
{
    SetSoundRecorder([](unsigned) {});
}

void TestScan::exampleOfThreeFiles_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::newRow("manual, answered yes") << false;
    QTest::newRow("automatic") << true;
}

void TestScan::exampleOfThreeFiles()
{
    QFETCH(bool, automatic);
    ScanFixture fx;
    fx.write("a1.txt", kMail);
    fx.write("a2.txt", kOther);
    fx.write("a3.txt", kMail);
    fx.setOption("AUTO", automatic ? "1" : "0");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return); // Comparer 3 fichiers ?
    if (!automatic)
        fx.answers.press(Qt::Key_O);  // the pass of a3 finds a1
    fx.answers.press(Qt::Key_Return); // summary
    fx.scan();

    QCOMPARE(fx.filesInFolder(), (QStringList{"a2.txt", "a3.txt"}));
    QCOMPARE(fx.filesInTrash(), QStringList{"a1.txt"});
    QCOMPARE(fx.duplicatesListed(), QStringList{"a1.txt"});
    QCOMPARE(form.scan()->DuplicateCount, 1);
    QCOMPARE(fx.answers.texts().first(), QStringLiteral("Comparer 3 fichiers ?"));
    QCOMPARE(ScanTexts::withoutTime(fx.answers.texts().last()), ScanTexts::summary(3, 1));
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
    QVERIFY(!form.Panel_GAUGE()->isVisible());
    // The caption keeps the last reference's name.
    QCOMPARE(form.windowTitle(), QStringLiteral("a1.txt"));
}

void TestScan::manualAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("found");
    const QStringList all{"m1.txt", "m2.txt", "m3.txt"};
    // m3 is the first reference; its candidates are walked m2 then m1.
    QTest::newRow("Oui moves both copies")
        << "o" << QStringList{"m3.txt"} << QStringList{"m1.txt", "m2.txt"} << 2 << 2;
    QTest::newRow("Non keeps every copy and counts them") << "n" << all << QStringList{} << 6 << 6;
    QTest::newRow("Annuler ends the scan at once") << "Annuler" << all << QStringList{} << 1 << 1;
    QTest::newRow("Escape ends the scan at once") << "Escape" << all << QStringList{} << 1 << 1;
    QTest::newRow("the close box ends the scan at once")
        << "close box" << all << QStringList{} << 1 << 1;
}

void TestScan::manualAnswers()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, remaining);
    QFETCH(QStringList, listed);
    QFETCH(int, questions);
    QFETCH(int, found);
    ScanFixture fx;
    for (const char* name : {"m1.txt", "m2.txt", "m3.txt"})
        fx.write(name, kMail);
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return);
    for (int i = 0; i < questions; ++i) {
        if (answer == "Annuler")
            fx.answers.click(answer);
        else if (answer == "Escape")
            fx.answers.press(Qt::Key_Escape);
        else if (answer == "close box")
            fx.answers.closeBox();
        else
            fx.answers.type(answer.at(0).toLatin1());
    }
    fx.answers.press(Qt::Key_Return);
    fx.scan();

    QCOMPARE(fx.filesInFolder(), remaining);
    QCOMPARE(fx.duplicatesListed(), listed);
    QCOMPARE(form.scan()->DuplicateCount, found);
    QCOMPARE(form.statusText(3), QString::number(found));
    QCOMPARE(fx.answers.texts().size(), questions + 2);
    QCOMPARE(ScanTexts::withoutTime(fx.answers.texts().last()), ScanTexts::summary(3, found));
}

void TestScan::questionTextIsExact()
{
    ScanFixture fx;
    fx.write("abc.txt", kMail);
    fx.write("abc2.txt", kMail);
    fx.setOption("MODE", "1");
    fx.start();
    fx.answers.press(Qt::Key_Return);
    fx.answers.press(Qt::Key_N); // abc2 as reference finds abc
    fx.answers.press(Qt::Key_N); // abc as reference finds abc2
    fx.answers.press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(fx.answers.texts().size(), 4);
    QCOMPARE(fx.answers.texts()[1], ScanTexts::question("abc2.txt", "abc.txt"));
    QCOMPARE(fx.answers.texts()[2], ScanTexts::question("abc.txt", "abc2.txt"));
    QCOMPARE(fx.answers.captions()[1], QStringLiteral("Confirmer"));
}

void TestScan::beepKinds_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("beep");
    QTest::addColumn<QList<unsigned>>("sounds");
    QTest::newRow("automatic, beep on") << true << true << QList<unsigned>{64, 64};
    QTest::newRow("automatic, beep off") << true << false << QList<unsigned>{};
    QTest::newRow("manual, beep on") << false << true << QList<unsigned>{48, 48};
    QTest::newRow("manual, beep off") << false << false << QList<unsigned>{};
}

void TestScan::beepKinds()
{
    QFETCH(bool, automatic);
    QFETCH(bool, beep);
    QFETCH(QList<unsigned>, sounds);
    QList<unsigned> played;
    SetSoundRecorder([&](unsigned kind) { played << kind; });
    ScanFixture fx;
    for (const char* name : {"b1.txt", "b2.txt", "b3.txt"})
        fx.write(name, kMail);
    fx.setOption("AUTO", automatic ? "1" : "0");
    TForm1& form = fx.start();
    form.chk_BEEP()->setChecked(beep);
    fx.answers.press(Qt::Key_Return);
    if (!automatic)
        fx.answers.press(Qt::Key_O).press(Qt::Key_O);
    fx.answers.press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(played, sounds);
    QCOMPARE(fx.filesInFolder(), QStringList{"b3.txt"});
}

void TestScan::emptyMainList()
{
    ScanFixture fx;
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(fx.answers.texts().first(), QStringLiteral("Comparer 0 fichiers ?"));
    QCOMPARE(ScanTexts::withoutTime(fx.answers.texts().last()), ScanTexts::summary(0, 0));
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
}

void TestScan::cancelAtFirstQuestionChangesNothing()
{
    ScanFixture fx;
    fx.write("c1.txt", kMail);
    fx.write("c2.txt", kMail);
    TForm1& form = fx.start();
    form.setStatusText(3, QStringLiteral("5"));
    const QString caption = form.windowTitle();
    fx.answers.press(Qt::Key_Escape);
    fx.scan();
    QCOMPARE(fx.answers.texts().size(), 1);
    QCOMPARE(fx.filesInFolder().size(), 2);
    QCOMPARE(form.statusText(3), QStringLiteral("5"));
    QCOMPARE(form.Button1()->text(), QStringLiteral("COMPARER"));
    QCOMPARE(form.windowTitle(), caption);
}

void TestScan::gaugeAndPositionWalkBackwards()
{
    // Equal but for letter case, so that each pane's text tells which file it shows.
    ScanFixture fx;
    const QStringList names{"g1.txt", "h2.txt", "i3.txt", "j4.txt"};
    const QStringList texts{"Abcd", "aBcd", "abCd", "abcD"};
    for (int i = 0; i < names.size(); ++i)
        fx.write(names[i], texts[i].toLatin1());
    fx.setOption("MODE", "2");
    TForm1& form = fx.start();
    struct Seen {
        int progress;
        QString position, found, reference, candidate, selected, caption;
    };
    QList<Seen> seen;
    fx.answers.press(Qt::Key_Return);
    for (int q = 0; q < 12; ++q) {
        fx.answers.inspect([&](QDialog*) {
            QVERIFY(form.Panel_GAUGE()->isVisible());
            QCOMPARE(form.gauge1()->maxValue(), 4);
            TJvFileListBox* candidates = form.JvFileListBox2();
            seen.append({form.gauge1()->progress(), form.statusText(2), form.statusText(3),
                         form.Memo1()->text(), form.Memo2()->text(),
                         candidates->itemIndex() < 0
                             ? QString()
                             : candidates->itemText(candidates->itemIndex()),
                         form.windowTitle()});
            QCOMPARE(form.statusText(1), QStringLiteral("4"));
            QCOMPARE(candidates->itemCount(), 3);
        });
        fx.answers.type('n');
    }
    fx.answers.press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(seen.size(), 12);
    // At every question the window shows exactly where the scan is.
    int q = 0;
    for (int reference = 3; reference >= 0; --reference) {
        for (int candidate = 3; candidate >= 0; --candidate) {
            if (candidate == reference)
                continue;
            const Seen& s = seen[q++];
            QCOMPARE(s.progress, reference + 1);
            QCOMPARE(s.position, QString::number(reference));
            QCOMPARE(s.found, QString::number(q));
            QCOMPARE(s.reference, texts[reference]);
            QCOMPARE(s.candidate, texts[candidate]);
            QCOMPARE(s.selected, names[candidate]);
            QCOMPARE(s.caption, names[reference]);
        }
    }
}

void TestScan::duplicatesListedAlphabetically()
{
    ScanFixture fx;
    for (const char* name : {"a.txt", "B.txt", "C.txt", "z.txt"})
        fx.write(name, kMail);
    fx.setOption("AUTO", "1");
    fx.setOption("MODE", "2");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(fx.duplicatesListed(), (QStringList{"a.txt", "B.txt", "C.txt"}));
    QCOMPARE(fx.filesInFolder(), QStringList{"z.txt"});
    QCOMPARE(form.scan()->DuplicateCount, 3);
}

void TestScan::escapeStopsScan()
{
    ScanFixture fx;
    for (const char* name : {"e1.txt", "f2.txt", "g3.txt", "h4.txt"})
        fx.write(name, QByteArray(name));
    TForm1& form = fx.start();
    atFirstCandidates(form, [&] {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
        QTest::keyClick(target, Qt::Key_Escape);
    });
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    // Only the first reference (the last file) was handled; the summary reports the whole list.
    QCOMPARE(form.windowTitle(), QStringLiteral("h4.txt"));
    QCOMPARE(ScanTexts::withoutTime(fx.answers.texts().last()), ScanTexts::summary(4, 0));
    QVERIFY(form.isVisible());
}

void TestScan::closeDuringScanStopsThenSecondCloseSaves()
{
    ScanFixture fx;
    for (const char* name : {"k1.txt", "l2.txt", "m3.txt"})
        fx.write(name, QByteArray(name));
    TForm1& form = fx.start();
    form.Edit1()->setText(QStringLiteral("*.t"));
    atFirstCandidates(form, [&] { form.close(); });
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("m3.txt"));
    QCOMPARE(ScanTexts::withoutTime(fx.answers.texts().last()), ScanTexts::summary(3, 0));
    // Nothing was saved by the refused close.
    QCOMPARE(IniReadString("OPTIONS", "MASQUE", "none"), QStringLiteral("none"));
    form.close();
    QVERIFY(!form.isVisible());
    QCOMPARE(IniReadString("OPTIONS", "MASQUE", "none"), QStringLiteral("*.t"));
}

void TestScan::buttonDuringScanOnlyStops()
{
    ScanFixture fx;
    for (const char* name : {"n1.txt", "o2.txt", "p3.txt"})
        fx.write(name, QByteArray(name));
    TForm1& form = fx.start();
    atFirstCandidates(form, [&] {
        QCOMPARE(form.Button1()->text(), QStringLiteral("STOP"));
        QTest::mouseClick(form.Button1(), Qt::LeftButton);
    });
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    // One question, one summary: no second scan was nested in the first.
    QCOMPARE(fx.answers.texts().size(), 2);
    QCOMPARE(form.windowTitle(), QStringLiteral("p3.txt"));
}

void TestScan::newMaskDuringScanStopsCleanly_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<int>("listed");
    QTest::newRow("a narrower mask") << "q" << QStringList{} << 1;
    // A re-read that fails half-way has emptied the list all the same.
    const QStringList blank{QStringLiteral("Search string cannot be blank.")};
    // Field 0 keeps its last count: no change was signalled.
    QTest::newRow("a mask that is only a separator") << ";" << blank << 4;
    QTest::newRow("an empty pattern between two") << "a;;b" << blank << 4;
}

void TestScan::newMaskDuringScanStopsCleanly()
{
    QFETCH(QString, mask);
    QFETCH(QStringList, reports);
    QFETCH(int, listed);
    ScanFixture fx;
    for (const char* name : {"q1.txt", "r2.txt", "s3.txt", "t4.txt"})
        fx.write(name, QByteArray(name));
    TForm1& form = fx.start();
    // The main list is read again under the running loop.
    atFirstCandidates(form, [&] { form.Edit1()->setText(mask); });
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();
    const QStringList texts = fx.answers.texts();
    QCOMPARE(texts.mid(1, texts.size() - 2), reports);
    QCOMPARE(ScanTexts::withoutTime(texts.last()), ScanTexts::summary(listed, 0));
    QCOMPARE(fx.filesInFolder().size(), 4);
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
}

void TestScan::referenceLoadFailureReportedAndScanGoesOn()
{
    ScanFixture fx;
    fx.write("u1.txt", kMail);
    fx.write("u2.txt", kMail);
    // A file of 2 GiB is refused by the loader (sparse: it takes no room).
    const QString big = fx.write("zz.txt", QByteArray());
    QVERIFY(::truncate(QFile::encodeName(big).constData(), off_t(2) * 1024 * 1024 * 1024) == 0);
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(fx.answers.texts().size(), 3);
    QVERIFY2(
        fx.answers.texts()[1].startsWith(
            "ERREUR 346 COMPARERExecute : Appel de Charge1\r\nImpossible d'ouvrir le fichier \"" +
            big + "\". "),
        qPrintable(fx.answers.texts()[1]));
    QCOMPARE(fx.answers.captions()[1], QStringLiteral("tst_scan"));
    // The scan went on: u2's pass moved u1.
    QCOMPARE(fx.filesInFolder(), (QStringList{"u2.txt", "zz.txt"}));
    QCOMPARE(form.scan()->DuplicateCount, 1);
}

void TestScan::trashFailureReportedAndFileKept()
{
    ScanFixture fx;
    fx.write("v1.txt", kMail);
    fx.write("v2.txt", kMail);
    fx.setOption("AUTO", "1");
    // The home trash cannot be made under a plain file.
    TempFolder blocker;
    const QString plain = blocker.write("plain", "x");
    qputenv("XDG_DATA_HOME", QFile::encodeName(plain + "/data"));
    TForm1& form = fx.start();
    // Each file in turn finds the other: two failures, each told.
    fx.answers.press(Qt::Key_Return)
        .press(Qt::Key_Return)
        .press(Qt::Key_Return)
        .press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(fx.filesInFolder(), (QStringList{"v1.txt", "v2.txt"}));
    QVERIFY(fx.duplicatesListed().isEmpty());
    QCOMPARE(form.scan()->DuplicateCount, 2);
    QCOMPARE(fx.answers.texts().size(), 4);
    QVERIFY2(fx.answers.texts()[1].contains(fx.folder() + "/v1.txt"),
             qPrintable(fx.answers.texts()[1]));
    QVERIFY(fx.answers.texts()[1].contains(QStringLiteral("corbeille")));
    QCOMPARE(ScanTexts::withoutTime(fx.answers.texts().last()), ScanTexts::summary(2, 2, 2));
}

void TestScan::textTooLongForPane_data()
{
    QTest::addColumn<QString>("longName");
    QTest::addColumn<QStringList>("expected");
    const QString error = QStringLiteral("Le texte dépasse la capacité du mémo");
    // y3 is the first reference: as a candidate of it, y1 ends the scan.
    QTest::newRow("a candidate ends the scan") << "y1.txt" << QStringList{error + "."};
    // As the first reference, y3 gets the numbered notice and no pass; then, a candidate of y2,
    // it ends the scan.
    QTest::newRow("a reference is reported, then ends the scan as a candidate")
        << "y3.txt"
        << QStringList{"ERREUR 346 COMPARERExecute : Appel de Charge1\r\n" + error, error + "."};
}

void TestScan::textTooLongForPane()
{
    QFETCH(QString, longName);
    QFETCH(QStringList, expected);
    ScanFixture fx;
    // Line breaks made CR LF take the text past the panes' 100 characters; its bytes do not.
    const QByteArray longText = QByteArray("x\n").repeated(45) + "end";
    for (const char* name : {"y1.txt", "y2.txt", "y3.txt"})
        fx.write(name, name == longName ? longText : kMail);
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    form.Memo1()->setCapacity(100);
    form.Memo2()->setCapacity(100);
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();
    QStringList texts = fx.answers.texts();
    for (QString& text : texts)
        text = ScanTexts::withoutTime(text);
    QCOMPARE(texts.mid(1), expected);
}

void TestScan::textTooLongForPaneBySize()
{
    QFETCH(QString, longName);
    QFETCH(QStringList, expected);
    ScanFixture fx;
    for (const char* name : {"y1.txt", "y2.txt", "y3.txt"})
        fx.write(name, kMail);
    // Its size alone shows that its text cannot fit a pane: the scan stops where it would for
    // a text read through, and never holds it.
    if (::truncate(QFile::encodeName(fx.folder() + "/" + longName).constData(),
                   off_t(700) * 1000 * 1000) != 0)
        QSKIP("the scan folder's file system cannot hold a sparse file of 700 MB");
    fx.setOption("AUTO", "1");
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.start();
    fx.scan();
    QStringList texts = fx.answers.texts();
    for (QString& text : texts)
        text = ScanTexts::withoutTime(text);
    // Opening the window may already have refused it, as the list's first file.
    while (!texts.isEmpty() && !texts.first().startsWith(QStringLiteral("Comparer")))
        texts.removeFirst();
    QCOMPARE(texts.mid(1), expected);
}

void TestScan::referenceLinkedToCandidateIsNotTrashed()
{
    ScanFixture fx;
    fx.write("w1.txt", kMail);
    QVERIFY(QFile::link(fx.folder() + "/w1.txt", fx.folder() + "/w2.txt"));
    fx.setOption("AUTO", "1");
    fx.start();
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    // w2 is w1 itself: moving w1 would leave no copy of the message.
    QCOMPARE(fx.filesInFolder(), (QStringList{"w1.txt", "w2.txt"}));
    QVERIFY(fx.filesInTrash().isEmpty());
}

void TestScan::clickOnCandidateDuringScanDoesNotChangeReference()
{
    ScanFixture fx;
    fx.write("x1.txt", kOther);
    fx.write("x2.txt", kMail);
    fx.write("x3.txt", kMail);
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    // While x3 is the reference, x1 is loaded into the reference pane by a click.
    atFirstCandidates(form, [&] {
        TJvFileListBox* list = form.JvFileListBox2();
        for (int i = 0; i < list->itemCount(); ++i) {
            if (list->itemText(i) == "x1.txt")
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->itemRect(i).center());
        }
        form.Memo1()->setPlainText(QStringLiteral("edited"));
    });
    fx.answers.press(Qt::Key_Return).press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(fx.filesInFolder(), (QStringList{"x1.txt", "x3.txt"}));
    QCOMPARE(fx.filesInTrash(), QStringList{"x2.txt"});
}

void TestScan::randomFolders_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<quint32>("seed");
    for (int mode : {0, 1, 2}) {
        for (bool automatic : {true, false}) {
            for (quint32 seed : {11u, 23u, 37u}) {
                const QByteArray name = QStringLiteral("mode %1, %2, seed %3")
                                            .arg(mode)
                                            .arg(automatic ? "automatic" : "random manual answers")
                                            .arg(seed)
                                            .toLatin1();
                QTest::newRow(name.constData()) << mode << automatic << seed;
            }
        }
    }
}

namespace {

bool matchesPrefix(const QString& name, const QString& prefix)
{
    return name.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace

void TestScan::randomFolders()
{
    QFETCH(int, mode);
    QFETCH(bool, automatic);
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    ScanFixture fx;
    const QStringList stems{"alpha", "Alpine", "beta", "LE monde", "Le mot", "zulu", "a", "b"};
    QSet<QString> used;
    QMap<QString, QString> textOf; // name -> comparison key by the independent model
    const int groups = 2 + int(rng.bounded(4));
    for (int g = 0; g < groups; ++g) {
        const QString base =
            QStringLiteral("From: g%1@example.org\r\nSubject: Été %1\r\n\r\nCorps %2\r\n")
                .arg(g)
                .arg(rng.bounded(1000));
        const int copies = 1 + int(rng.bounded(4));
        for (int c = 0; c < copies + 2; ++c) {
            QString text = base;
            if (c >= copies) {
                // Near-duplicates: one character more, or one line break fewer.
                text = (c == copies) ? base + "x" : base.left(base.size() - 2);
            }
            QString name;
            do {
                name = stems[rng.bounded(int(stems.size()))] + QString::number(rng.bounded(100)) +
                       ".eml";
            } while (used.contains(name));
            used.insert(name);
            const QByteArray bytes = ScanTexts::randomEncoding(text, rng);
            fx.write(name, bytes);
            textOf[name] = ScanModel::key(bytes);
        }
    }
    // Second names: symbolic links (some through a bind mount of the folder inside itself) and
    // hard links. A link is never the last copy of a text; two names of one file are one file.
    const QStringList plain = textOf.keys();
    QSet<QString> links;
    TempFolder scratchPlace;
    ScratchMount scratch(scratchPlace.path() + "/tmp", 64);
    const bool viewed = QDir(fx.folder()).mkdir("view") && scratch.isMounted() &&
                        scratch.bind(fx.folder(), fx.folder() + "/view");
    for (int l = int(rng.bounded(4)); l > 0; --l) {
        const QString to = plain[rng.bounded(int(plain.size()))];
        const QString name = "lien" + QString::number(l) + ".eml";
        const QString target =
            viewed && rng.bounded(2) ? fx.folder() + "/view/" + to : fx.folder() + "/" + to;
        QVERIFY(QFile::link(target, fx.folder() + "/" + name));
        textOf[name] = textOf[to];
        links.insert(name);
    }
    // Links to a copy outside the folder, named to come before or after the file they copy.
    TempFolder outside;
    for (int l = 1 + int(rng.bounded(2)); l > 0; --l) {
        const QString of = plain[rng.bounded(int(plain.size()))];
        const QString name =
            (rng.bounded(2) ? "a-copie" : "zulu-copie") + QString::number(l) + ".eml";
        const QByteArray copied = [&] {
            QFile original(fx.folder() + "/" + of);
            return original.open(QIODevice::ReadOnly) ? original.readAll() : QByteArray();
        }();
        QVERIFY(QFile::link(outside.write("o" + QString::number(l) + ".eml", copied),
                            fx.folder() + "/" + name));
        textOf[name] = textOf[of];
        links.insert(name);
    }
    for (int h = int(rng.bounded(3)); h > 0; --h) {
        const QString to = plain[rng.bounded(int(plain.size()))];
        const QString name = "alpha-second" + QString::number(h) + ".eml";
        QCOMPARE(::link(QFile::encodeName(fx.folder() + "/" + to).constData(),
                        QFile::encodeName(fx.folder() + "/" + name).constData()),
                 0);
        textOf[name] = textOf[to];
    }
    auto sameFile = [&](const QString& a, const QString& b) {
        struct stat sa;
        struct stat sb;
        return ::stat(QFile::encodeName(fx.folder() + "/" + a).constData(), &sa) == 0 &&
               ::stat(QFile::encodeName(fx.folder() + "/" + b).constData(), &sb) == 0 &&
               sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    };
    QSet<QString> realTexts;
    for (auto it = textOf.cbegin(); it != textOf.cend(); ++it) {
        if (!links.contains(it.key()))
            realTexts.insert(it.value());
    }

    fx.setOption("MODE", QString::number(mode));
    fx.setOption("AUTO", automatic ? "1" : "0");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return);
    // Manual questions get a random mix of "&Oui" and "&Non"; Return also closes the summary.
    fx.answers.setDefaultKeys(automatic ? QList<int>{Qt::Key_Return}
                                        : QList<int>{Qt::Key_O, Qt::Key_N, Qt::Key_Return},
                              seed);
    fx.scan();

    // Links count by name, whether they still lead anywhere or not.
    const QStringList remaining =
        QDir(fx.folder()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    const QStringList trashed =
        QDir(fx.trashFolder()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    QCOMPARE(remaining.size() + trashed.size(), textOf.size());
    QCOMPARE(fx.duplicatesListed().size(), trashed.size());
    // Every file moved to the trash has an equal text still in the folder.
    for (const QString& t : trashed) {
        const QString text = textOf[t];
        QVERIFY2(std::any_of(remaining.begin(), remaining.end(),
                             [&](const QString& r) { return text == textOf[r]; }),
                 qPrintable(t));
    }
    // Every text a real file held is still held by a real file, never by a link alone.
    for (const QString& text : realTexts) {
        QVERIFY(std::any_of(remaining.begin(), remaining.end(), [&](const QString& r) {
            return !links.contains(r) && textOf[r] == text;
        }));
    }
    if (!automatic)
        return;
    // After a full automatic scan no remaining candidate equals its reference.
    for (const QString& r : remaining) {
        const QString prefix = mode == 2 ? QString() : mode == 1 ? r.left(1) : QString();
        for (const QString& c : remaining) {
            // A real file is never the copy that goes beside a link.
            if (c == r || sameFile(c, r) || (links.contains(r) && !links.contains(c)))
                continue;
            const bool candidate = mode == 0 ? true : matchesPrefix(c, prefix);
            if (mode == 0) {
                // The fast mode's prefix is the letters at the start of the name.
                QRegularExpression re(QStringLiteral("^(LE )?([a-z]+)"),
                                      QRegularExpression::CaseInsensitiveOption);
                const auto m = re.match(r);
                const QString p = m.hasMatch() ? m.captured(0) : r;
                if (!matchesPrefix(c, p))
                    continue;
            }
            if (candidate)
                QVERIFY2(textOf[r] != textOf[c], qPrintable(r + " ~ " + c));
        }
    }
    Q_UNUSED(form);
}

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
