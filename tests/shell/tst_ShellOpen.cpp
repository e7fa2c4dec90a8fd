#include "shell/ShellOpen.h"
#include "support/FakeOpener.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

#include <memory>

class tst_ShellOpen : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void opensTheTrashEachTime();
    void opensTheFolder_data();
    void opensTheFolder();
    void emptyFolderOpensNothingElse();

private:
    // Qt keeps the launcher it found first, so one fake serves the whole run.
    std::unique_ptr<FakeOpener> m_opener;
};

void tst_ShellOpen::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_opener = std::make_unique<FakeOpener>();
}

void tst_ShellOpen::cleanupTestCase()
{
    m_opener.reset();
}

void tst_ShellOpen::opensTheTrashEachTime()
{
    const QStringList before = m_opener->requests();
    OpenRecycleBin();
    OpenRecycleBin();
    QTRY_COMPARE(m_opener->requests().size(), before.size() + 2);
    QCOMPARE(m_opener->requests().mid(before.size()),
             (QStringList{QStringLiteral("trash:///"), QStringLiteral("trash:///")}));
}

void tst_ShellOpen::opensTheFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedTail");

    QTest::newRow("plain name") << QStringLiteral("mails") << QStringLiteral("/mails");
    QTest::newRow("space and accent are URL-encoded")
        << QStringLiteral("Boîte reçue") << QStringLiteral("/Bo%C3%AEte%20re%C3%A7ue");
}

void tst_ShellOpen::opensTheFolder()
{
    QFETCH(QString, name);
    QFETCH(QString, expectedTail);

    TempFolder root;
    QVERIFY(QDir(root.path()).mkdir(name));
    const QStringList before = m_opener->requests();
    OpenFolderInFileManager(root.filePath(name));
    QTRY_COMPARE(m_opener->requests().size(), before.size() + 1);
    QCOMPARE(m_opener->requests().last(),
             QString::fromLatin1(QUrl::fromLocalFile(root.path()).toEncoded()) + expectedTail);
}

void tst_ShellOpen::emptyFolderOpensNothingElse()
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

QTEST_MAIN(tst_ShellOpen)
#include "tst_ShellOpen.moc"
