#include "ScanFixture.h"

#include "scan/TMemo.h"
#include "widgets/TJvFileListBox.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

QStringList itemsOf(const TJvFileListBox* list)
{
    QStringList items;
    for (int i = 0; i < list->itemCount(); ++i)
        items << list->itemText(i);
    return items;
}

void userSelects(TJvFileListBox* list, const QString& name)
{
    for (int i = 0; i < list->itemCount(); ++i) {
        if (list->itemText(i) == name) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->itemRect(i).center());
            return;
        }
    }
    QFAIL(qPrintable("no item " + name));
}

} // namespace

// Selecting a file makes it the reference and chooses its candidates by the scan mode.
class TestReferenceLoader : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void candidatesByMode_data();
    void candidatesByMode();
    void referenceRemovedButCaseVariantKept();
    void deletedReferenceKeepsPaneAndStillFillsCandidates();
    void clickOnCandidateFillsReferencePane();
    void emptyMainListLoadsNothing();
};

void TestReferenceLoader::candidatesByMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QString>("field1");
    // The reference is "Le Monde 12.eml".
    QTest::newRow("mode 0: leading letters after LE")
        << 0 << "Le Monde*" << QStringList{"LE MONDE 3.eml"} << "2";
    QTest::newRow("mode 1: first character")
        << 1 << "L*" << QStringList{"LE MONDE 3.eml", "le mondial.eml", "Lettre.eml"} << "4";
    QTest::newRow("mode 2: every file")
        << 2 << "*"
        << QStringList{"éclair.eml", "LE MONDE 3.eml", "le mondial.eml", "Lettre.eml", "zeta.eml"}
        << "6";
    QTest::newRow("no mode: the whole name") << -1 << "Le Monde 12.eml*" << QStringList{} << "1";
}

void TestReferenceLoader::candidatesByMode()
{
    QFETCH(int, mode);
    QFETCH(QString, mask);
    QFETCH(QStringList, candidates);
    QFETCH(QString, field1);
    ScanFixture fx;
    for (const char* name : {"Le Monde 12.eml", "LE MONDE 3.eml", "le mondial.eml", "Lettre.eml",
                             "zeta.eml", "éclair.eml"})
        fx.write(QString::fromUtf8(name), QByteArray(name));
    TForm1& form = fx.start();
    form.setRadioGroupIndex(mode);
    userSelects(form.JvFileListBox1(), "Le Monde 12.eml");
    QCOMPARE(form.Memo1()->text(), QStringLiteral("Le Monde 12.eml"));
    QCOMPARE(form.JvFileListBox2()->mask(), mask);
    // The order is the locale's; which files are candidates is the point here.
    QStringList items = itemsOf(form.JvFileListBox2());
    items.sort();
    candidates.sort();
    QCOMPARE(items, candidates);
    // The count includes the reference, removed only afterwards.
    QCOMPARE(form.statusText(1), field1);
    QCOMPARE(form.statusText(0), QStringLiteral("6"));
}

void TestReferenceLoader::referenceRemovedButCaseVariantKept()
{
    ScanFixture fx;
    fx.write("abc.eml", "1");
    fx.write("ABC.eml", "2");
    fx.write("abd.eml", "3");
    TForm1& form = fx.start();
    form.setRadioGroupIndex(1);
    userSelects(form.JvFileListBox1(), "abc.eml");
    QCOMPARE(itemsOf(form.JvFileListBox2()), (QStringList{"ABC.eml", "abd.eml"}));
}

void TestReferenceLoader::deletedReferenceKeepsPaneAndStillFillsCandidates()
{
    ScanFixture fx;
    fx.write("abc1.eml", "first");
    fx.write("abc2.eml", "second");
    fx.write("abc3.eml", "third");
    TForm1& form = fx.start();
    QCOMPARE(form.Memo1()->text(), QStringLiteral("first"));
    QVERIFY(QFile::remove(fx.folder() + "/abc2.eml"));
    userSelects(form.JvFileListBox1(), "abc2.eml");
    QCOMPARE(form.Memo1()->text(), QStringLiteral("first"));
    QCOMPARE(itemsOf(form.JvFileListBox2()), (QStringList{"abc1.eml", "abc3.eml"}));
}

void TestReferenceLoader::clickOnCandidateFillsReferencePane()
{
    ScanFixture fx;
    fx.write("abc1.eml", "first");
    fx.write("abc2.eml", "second");
    TForm1& form = fx.start();
    const QString candidatePane = form.Memo2()->text();
    userSelects(form.JvFileListBox2(), "abc2.eml");
    QCOMPARE(form.Memo1()->text(), QStringLiteral("second"));
    QCOMPARE(form.Memo2()->text(), candidatePane);
}

void TestReferenceLoader::emptyMainListLoadsNothing()
{
    ScanFixture fx;
    TForm1& form = fx.start();
    QCOMPARE(form.JvFileListBox1()->itemCount(), 0);
    QCOMPARE(form.Memo1()->text(), QStringLiteral("\r\n"));
    QCOMPARE(form.JvFileListBox2()->mask(), QStringLiteral("a*.*"));
    QCOMPARE(form.statusText(0), QStringLiteral("0"));
}

QTEST_MAIN(TestReferenceLoader)
#include "tst_referenceloader.moc"
