#include "GeneratedFolder.h"
#include "ScanFixture.h"
#include "ScanModel.h"

#include "dialogs/SystemSound.h"
#include "scan/ScanRun.h"
#include "support/ScratchMount.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <dirent.h>
#include <unistd.h>

// The whole window against a small independent model of the scan, on many generated folders:
// every dialog in order with its text, the files moved, the duplicates listed and counted.
class TestScanDiff : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void modelSelfChecks_data();
    void modelSelfChecks();
    void sameAsModel_data();
    void sameAsModel();
};

void TestScanDiff::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    SetSoundRecorder([](unsigned) {});
}

void TestScanDiff::modelSelfChecks_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("case and line breaks") << QByteArray("ABC\r\n") << QByteArray("abc\n") << true;
    QTest::newRow("utf-8 mark and windows-1252")
        << QByteArray("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9") << QByteArray("\xE9t\xE9") << true;
    QTest::newRow("utf-16 both orders") << QByteArray("\xFF\xFE"
                                                      "a\0",
                                                      4)
                                        << QByteArray("\xFE\xFF\0A", 4) << true;
    QTest::newRow("final line break counts") << QByteArray("abc") << QByteArray("abc\n") << false;
    QTest::newRow("odd byte counts") << QByteArray("\xFF\xFE"
                                                   "A\0B",
                                                   5)
                                     << QByteArray("\xFF\xFE"
                                                   "A\0C",
                                                   5)
                                     << false;
}

void TestScanDiff::modelSelfChecks()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, equal);
    QCOMPARE(ScanModel::key(a) == ScanModel::key(b), equal);
    QVERIFY(ScanModel::maskMatches("A*", "ABC"));
    QVERIFY(!ScanModel::maskMatches("*?X", "AXX"));
    QCOMPARE(ScanModel::prefix("Le Monde 12.txt", 0), QStringLiteral("Le Monde"));
    QCOMPARE(ScanModel::prefix("LE 123.txt", 0), QStringLiteral("LE"));
    QCOMPARE(ScanModel::prefix("éclair.txt", 0), QStringLiteral("éclair.txt"));
}

void TestScanDiff::sameAsModel_data()
{
    GeneratedFolder::addRows(6, 7919u);
}

void TestScanDiff::sameAsModel()
{
    QFETCH(int, mode);
    QFETCH(bool, automatic);
    QFETCH(quint32, seed);
    ScanFixture fx;
    GeneratedFolder generated(fx.folder(), seed, mode, automatic);
    if (!generated.skipped.isEmpty())
        QSKIP(qPrintable(generated.skipped));
    const ScanModel& model = generated.model;
    const ScanModel::Trace expected = model.run();

    const QStringList before = GeneratedFolder::entriesOf(fx.folder());
    fx.setOption("MODE", QString::number(mode));
    fx.setOption("AUTO", automatic ? "1" : "0");
    fx.setOption("MASQUE", model.mainMask);
    TForm1& form = fx.start();
    for (int key : expected.keys)
        fx.answers.press(key);
    // Should the window show more dialogs than the model, they are answered and told apart.
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();

    QStringList texts = fx.answers.texts();
    for (QString& text : texts)
        text = ScanTexts::withoutTime(text);
    QCOMPARE(texts, expected.dialogs);
    QStringList moved = GeneratedFolder::entriesOf(fx.trashFolder());
    QCOMPARE(moved, expected.moved);
    QStringList left = before;
    for (const QString& name : expected.moved)
        left.removeOne(name);
    QCOMPARE(GeneratedFolder::entriesOf(fx.folder()), left);
    QCOMPARE(fx.duplicatesListed(), expected.listed);
    QCOMPARE(form.scan()->DuplicateCount, expected.found);
    QCOMPARE(form.statusText(3), QString::number(expected.found));
}

QTEST_MAIN(TestScanDiff)
#include "tst_scandiff.moc"
