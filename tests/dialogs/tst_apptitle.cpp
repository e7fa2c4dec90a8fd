#include "dialogs/AppTitle.h"

#include <QStandardPaths>
#include <QTest>

class TestAppTitle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void title_data()
    {
        QTest::addColumn<QString>("exePath");
        QTest::addColumn<QString>("title");
        QTest::newRow("upper case name with extension") << "/opt/MYTOOL.EXE"
                                                        << "Mytool";
        QTest::newRow("cut before the first dot") << "/home/u/my.tool.exe"
                                                  << "my";
        QTest::newRow("linux executable unchanged") << "/usr/bin/twindrop"
                                                    << "twindrop";
        QTest::newRow("first character kept, rest lowered") << "/usr/bin/TwinDrop"
                                                            << "Twindrop";
        QTest::newRow("dots in the folder do not count") << "/home/a.b/TOOL"
                                                         << "Tool";
        QTest::newRow("accented letters lowered") << "/x/ÉCRAN.EXE"
                                                  << "Écran";
        QTest::newRow("lower first character stays lower") << "/x/eDIT"
                                                           << "edit";
        QTest::newRow("name beginning with a dot") << "/x/.hidden"
                                                   << "";
        QTest::newRow("no folder") << "OUTIL"
                                   << "Outil";
        QTest::newRow("empty") << ""
                               << "";
    }
    void title()
    {
        QFETCH(QString, exePath);
        QFETCH(QString, title);
        QCOMPARE(ApplicationTitleFor(exePath), title);
    }
};

QTEST_GUILESS_MAIN(TestAppTitle)
#include "tst_apptitle.moc"
