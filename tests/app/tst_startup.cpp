#include "app/StartUp.h"
#include "app/TForm1.h"
#include "dialogs/AppTitle.h"
#include "settings/SettingsHelpers.h"
#include "style/TStyleManager.h"
#include "support/DialogAnswerer.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QResource>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

// The program's start from the application object to the end of its message loop.
class TestStartUp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { TStyleManager::resetForTesting(); }
    void cleanup()
    {
        TStyleManager::resetForTesting();
        SetExecutablePathForTesting(QString());
    }

    void brokenStyleIsReportedAndEndsBeforeTheWindow();
    void startsStyledAndEndsWithTheWindow();
};

void TestStartUp::brokenStyleIsReportedAndEndsBeforeTheWindow()
{
    const QString rcc = QStringLiteral(TEST_RCC_FOLDER "/one_broken.rcc");
    QVERIFY(QResource::registerResource(rcc));
    const auto unregister = qScopeGuard([&] { QResource::unregisterResource(rcc); });
    DialogAnswerer answers;
    answers.press(Qt::Key_Return);

    QCOMPARE(RunTwindrop(), 1);
    QCOMPARE(answers.texts(),
             QStringList{QStringLiteral("Impossible de charger le style 'BROKEN1'")});
    QCOMPARE(answers.captions(), QStringList{ApplicationTitle()});
    QCOMPARE(answers.pending(), 0);
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TForm1*>(window));
}

void TestStartUp::startsStyledAndEndsWithTheWindow()
{
    TempFolder home;
    SetExecutablePathForTesting(home.filePath(QStringLiteral("twindrop")));
    bool styledWhenShown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* form = qobject_cast<TForm1*>(window); form && form->isVisible()) {
                styledWhenShown = !TStyleManager::isSystemStyleActive();
                form->close();
            }
        }
    });
    QCOMPARE(RunTwindrop(), 0);
    QVERIFY(styledWhenShown);
    // The close saved the settings beside the executable.
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("twindrop.INI"))));
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
