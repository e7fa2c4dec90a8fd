#include "scan/CandidatePrefix.h"

#include <QStandardPaths>
#include <QtTest>

class TestCandidatePrefix : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void prefix_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("0: letters before digits") << "abc123.txt" << 0 << "abc";
        QTest::newRow("0: LE and the following letters") << "Le Monde 12.txt" << 0 << "Le Monde";
        QTest::newRow("0: LE with no letter after the space") << "LE 123.txt" << 0 << "LE";
        QTest::newRow("0: Le without a space is a plain word") << "Ledger.txt" << 0 << "Ledger";
        QTest::newRow("0: leading digit keeps the whole name") << "123abc.txt" << 0 << "123abc.txt";
        QTest::newRow("0: leading accented letter keeps the whole name")
            << "éclair.txt" << 0 << "éclair.txt";
        QTest::newRow("0: lower-case le counts too") << "le monde.txt" << 0 << "le monde";
        QTest::newRow("0: accent ends the letters") << "Noël.txt" << 0 << "No";
        QTest::newRow("0: empty name") << "" << 0 << "";
        QTest::newRow("0: lone surrogate keeps the whole name")
            << QStringLiteral("ab") + QChar(0xDC00) << 0 << QStringLiteral("ab") + QChar(0xDC00);
        QTest::newRow("1: first character") << "abc.txt" << 1 << "a";
        QTest::newRow("1: first code unit of a surrogate pair")
            << QStringLiteral("\U0001F600x") << 1 << QString(QChar(0xD83D));
        QTest::newRow("1: empty name") << "" << 1 << "";
        QTest::newRow("2: empty") << "abc.txt" << 2 << "";
        QTest::newRow("-1: whole name") << "Le Monde 12.txt" << -1 << "Le Monde 12.txt";
        QTest::newRow("3: whole name") << "abc.txt" << 3 << "abc.txt";
    }

    void prefix()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QString, prefix);
        QCOMPARE(CandidatePrefix(name, mode), prefix);
    }
};

QTEST_GUILESS_MAIN(TestCandidatePrefix)
#include "tst_candidateprefix.moc"
