#include "style/TStyleData.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

class TestTStyleData : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void parses_data();
    void parses();
    void embeddedStyleHeader();
};

void TestTStyleData::parses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");

    const QByteArray sheet = "[StyleSheet]\nQMenu { border: 1px solid #000; }\n";
    QTest::newRow("header, palette and sheet")
        << "; comment\n[Style]\nName=Blue\nVersion=1.0\n[Palette]\nHighlight=#123456\n" + sheet
        << "Blue";
    QTest::newRow("header must come first")
        << "[Palette]\n[Style]\nName=A\nVersion=1\n" + sheet << "";
    QTest::newRow("no version") << "[Style]\nName=A\n" + sheet << "";
    QTest::newRow("no style sheet") << QByteArray("[Style]\nName=A\nVersion=1\n") << "";
    QTest::newRow("unknown colour role")
        << "[Style]\nName=A\nVersion=1\n[Palette]\nAccent2=#fff\n" + sheet << "";
    QTest::newRow("invalid colour")
        << "[Style]\nName=A\nVersion=1\n[Palette]\nBase=#ggg\n" + sheet << "";
    QTest::newRow("not a style at all") << QByteArray("\x89PNG\r\n") << "";
}

void TestTStyleData::parses()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QString error;
    const TStyleData data = TStyleData::parse(bytes, &error);
    QCOMPARE(data.name(), name);
    QCOMPARE(data.isValid(), !name.isEmpty());
    QCOMPARE(error.isEmpty(), !name.isEmpty());
    if (data.isValid()) {
        QCOMPARE(data.palette().color(QPalette::Active, QPalette::Highlight), QColor(0x123456));
        QCOMPARE(data.styleSheet(), QStringLiteral("QMenu { border: 1px solid #000; }\n"));
    }
}

void TestTStyleData::embeddedStyleHeader()
{
    Q_INIT_RESOURCE(style);
    QFile file(QStringLiteral(":/VCLSTYLE/METROPOLISUIBLUE"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const TStyleData data = TStyleData::parse(file.readAll());
    QCOMPARE(data.name(), QStringLiteral("Metropolis UI Blue"));
    QCOMPARE(data.version(), QStringLiteral("1.0"));
    QCOMPARE(data.keepColors(), (QStringList{"JvFileListBox1", "JvFileListBox2", "Memo1", "Memo2",
                                             "ListBox1", "Button1"}));
    QCOMPARE(data.palette().color(QPalette::Disabled, QPalette::Text), QColor(0x9aa5b1));
}

QTEST_GUILESS_MAIN(TestTStyleData)
#include "tst_TStyleData.moc"
