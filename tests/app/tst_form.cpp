#include "app/TForm1.h"
#include "scan/ScanRun.h"
#include "scan/TMemo.h"
#include "settings/FormGeometry.h"
#include "settings/SettingsHelpers.h"
#include "style/TStyleManager.h"
#include "support/DialogAnswerer.h"
#include "support/FakeOpener.h"
#include "support/TempFolder.h"
#include "widgets/TGauge.h"
#include "widgets/TJvCaptionPanel.h"
#include "widgets/TJvDirectoryEdit.h"
#include "widgets/TJvFileListBox.h"
#include "widgets/TStatusBar.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QtTest>

// The main window as the user meets it: its composition and the small handlers that wire
// controls together.
class TestForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void composition();
    void menusAndActions();
    void maskFieldRule_data();
    void maskFieldRule();
    void clearButtonOnEmptyFieldDoesNothing();
    void popupShortcutsOnlyOnMainList_data();
    void popupShortcutsOnlyOnMainList();
    void escapeSetsStopWhicheverControlHasFocus_data();
    void escapeSetsStopWhicheverControlHasFocus();
    void escapeForTheMenusDoesNotStop_data();
    void escapeForTheMenusDoesNotStop();
    void doubleClickOnEmptyDuplicatesListOpensTrash();
    void onlyLeftDoubleClickOpensTrash_data();
    void onlyLeftDoubleClickOpensTrash();
    void statusCountsFromFirstShow_data();
    void statusCountsFromFirstShow();
    void quitClosesOutsideScan();
    void sideColumnsCanBeWidened();
    void refreshOfRemovedFolderIsReported_data();
    void refreshOfRemovedFolderIsReported();

private:
    std::unique_ptr<TempFolder> m_home;
    std::unique_ptr<TempFolder> m_mails;
    std::unique_ptr<FakeOpener> m_opener;
    std::unique_ptr<TForm1> m_form;
};

void TestForm::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestForm::init()
{
    m_home = std::make_unique<TempFolder>();
    m_mails = std::make_unique<TempFolder>();
    m_opener = std::make_unique<FakeOpener>();
    for (const char* name : {"abc1.txt", "abc2.txt", "noext", "zeta.eml"})
        m_mails->write(QString::fromLatin1(name), QByteArray("Bonjour\r\n"));
    // The settings file lives beside the executable: keep it in a scratch folder.
    SetExecutablePathForTesting(m_home->filePath(QStringLiteral("twindrop")));
    SetWorkAreaForTesting(QRect(0, 0, 1920, 1040));
    IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("DOSSIER"), m_mails->path());
    m_form = std::make_unique<TForm1>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestForm::cleanup()
{
    m_form.reset();
    SetExecutablePathForTesting(QString());
    SetWorkAreaForTesting(std::nullopt);
}

void TestForm::composition()
{
    TForm1& f = *m_form;
    QCOMPARE(f.windowTitle(), QStringLiteral("tst_form"));
    QCOMPARE(f.PANEL_LISTE()->caption(), QStringLiteral("Liste"));
    QCOMPARE(f.JvCaptionPanel2()->caption(), QStringLiteral("Texte"));
    QCOMPARE(f.JvCaptionPanel1()->caption(), QStringLiteral("Doublons traités"));
    QCOMPARE(f.PANEL_LISTE()->width(), 297);
    QCOMPARE(f.JvCaptionPanel1()->width(), 185);
    // Left column, middle column, right column.
    QVERIFY(f.PANEL_LISTE()->x() < f.JvCaptionPanel2()->x());
    QVERIFY(f.JvCaptionPanel2()->x() < f.JvCaptionPanel1()->x());
    QCOMPARE(f.centralWidget()->size(), QSize(895, 486));
    QCOMPARE(f.Memo1()->mapTo(&f, QPoint()).y() - f.centralWidget()->y(),
             f.JvCaptionPanel2()->clientRect().top() + 26);

    QCOMPARE(f.Edit1()->text(), QStringLiteral("*.*"));
    QCOMPARE(f.JvFileListBox1()->mask(), QStringLiteral("*.**"));
    QCOMPARE(f.JvDirectoryEdit1()->text(), m_mails->path());
    QVERIFY(f.JvDirectoryEdit1()->isReadOnly());
    QCOMPARE(f.Button2()->text(), QStringLiteral("X"));
    QCOMPARE(f.Button1()->text(), QStringLiteral("COMPARER"));
    QVERIFY(f.Button1()->font().bold());
    QCOMPARE(f.RadioGroup1()->title(), QStringLiteral("Mode Scan"));
    QCOMPARE(f.radioGroupIndex(), 0);
    const auto radios = f.RadioGroup1()->findChildren<QRadioButton*>();
    QCOMPARE(radios.size(), 3);
    QCOMPARE(radios[0]->text(), QStringLiteral("Rapide (Nom...)"));
    QCOMPARE(radios[1]->text(), QStringLiteral("Modéré (ABC...)"));
    QCOMPARE(radios[2]->text(), QStringLiteral("Approfondi (...)"));
    QCOMPARE(f.chk_AUTO()->text(), QStringLiteral("Mode automatique"));
    QVERIFY(!f.chk_AUTO()->isChecked());
    QCOMPARE(f.JvFileListBox2()->height(), 160);
    QCOMPARE(f.Memo2()->height(), 160);
    QCOMPARE(f.ListBox1()->height(), 160);
    QVERIFY(!f.Panel_GAUGE()->isVisible());
    QCOMPARE(f.gauge1()->progress(), 0);
    QCOMPARE(f.StatusBar1()->fieldCount(), 4);
    QCOMPARE(f.StatusBar1()->width(), 303);
    // The first file is the reference once the window shows; "noext" has no dot.
    QCOMPARE(f.statusText(0), QStringLiteral("3"));
    QCOMPARE(f.JvFileListBox1()->itemIndex(), 0);
    QCOMPARE(f.Memo1()->text(), QStringLiteral("Bonjour\r\n"));
    QCOMPARE(f.ListBox1()->palette().color(QPalette::Base), QColor(255, 128, 0));
    QCOMPARE(f.Memo2()->palette().color(QPalette::Base), QColor(255, 128, 64));
}

void TestForm::menusAndActions()
{
    TForm1& f = *m_form;
    const QList<QAction*> menus = f.menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("Fichier"));
    QCOMPARE(menus[1]->text(), QStringLiteral("Options"));
    QStringList fichier;
    for (QAction* a : menus[0]->menu()->actions())
        fichier << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(fichier, (QStringList{"COMPARER", "-", "&Restaurer la dernière analyse", "&Quitter"}));
    QVERIFY(f.chk_BEEP()->isCheckable());
    QVERIFY(f.chk_BEEP()->isChecked());
    QCOMPARE(f.chk_BEEP()->text(), QStringLiteral("Activer le BIP"));
    for (QAction* a :
         {f.COMPARER(), f.CHARGE1(), f.CHARGE2(), f.INI_SAVE(), f.FichierFileExit1()}) {
        QCOMPARE(a->property("category").toString(), QStringLiteral("Fichier"));
        QVERIFY(a->isEnabled());
        QVERIFY(a->shortcut().isEmpty());
    }
    QCOMPARE(f.INI_SAVE()->text(), QStringLiteral("Enregistrer la configuration"));
    QCOMPARE(f.CHARGE1()->text(), QStringLiteral("CHARGE Mémo 1"));
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(TForm1::ImageList16(i, 1).size(), QSize(16, 16));
        QCOMPARE(TForm1::ImageList16(i, 2).size(), QSize(32, 32));
        QCOMPARE(TForm1::ImageList16(i, 2).deviceIndependentSize(), QSizeF(16, 16));
    }
}

void TestForm::maskFieldRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("listed");
    QTest::newRow("empty field lists every file") << QString() << "*" << 4;
    QTest::newRow("initial text ends in two asterisks") << "*.*"
                                                        << "*.**" << 3;
    QTest::newRow("text gets one asterisk") << "abc"
                                            << "abc*" << 2;
    QTest::newRow("semicolon passed on unchanged") << "zeta*;noext"
                                                   << "zeta*;noext*" << 2;
}

void TestForm::maskFieldRule()
{
    QFETCH(QString, text);
    QFETCH(QString, mask);
    QFETCH(int, listed);
    m_form->Edit1()->setText(QStringLiteral("something else"));
    m_form->Edit1()->setText(text);
    QCOMPARE(m_form->JvFileListBox1()->mask(), mask);
    QCOMPARE(m_form->JvFileListBox1()->itemCount(), listed);
    QCOMPARE(m_form->statusText(0), QString::number(listed));
}

void TestForm::clearButtonOnEmptyFieldDoesNothing()
{
    QTest::mouseClick(m_form->Button2(), Qt::LeftButton);
    QCOMPARE(m_form->Edit1()->text(), QString());
    QCOMPARE(m_form->JvFileListBox1()->mask(), QStringLiteral("*"));
    QSignalSpy changes(m_form->JvFileListBox1(), &TJvFileListBox::OnChange);
    QTest::mouseClick(m_form->Button2(), Qt::LeftButton);
    QCOMPARE(changes.count(), 0);
}

void TestForm::popupShortcutsOnlyOnMainList_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("acts");
    QTest::newRow("main list") << "JvFileListBox1" << true;
    QTest::newRow("candidate list") << "JvFileListBox2" << false;
    QTest::newRow("mask field") << "Edit1" << false;
    QTest::newRow("reference pane") << "Memo1" << false;
}

void TestForm::popupShortcutsOnlyOnMainList()
{
    QFETCH(QString, focus);
    QFETCH(bool, acts);
    auto* target = m_form->findChild<QWidget*>(focus);
    QVERIFY(target);
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    m_form->setStatusText(2, QStringLiteral("7"));
    m_form->setStatusText(3, QStringLiteral("9"));
    QSignalSpy rereads(m_form->JvFileListBox1(), &TJvFileListBox::OnChange);

    QTest::keyClick(target, Qt::Key_F5);
    QCOMPARE(rereads.count(), acts ? 1 : 0);
    QCOMPARE(m_form->statusText(2), acts ? QStringLiteral("0") : QStringLiteral("7"));
    QCOMPARE(m_form->statusText(3), acts ? QStringLiteral("0") : QStringLiteral("9"));

    QTest::keyClick(target, Qt::Key_E, Qt::ControlModifier);
    if (acts)
        QTRY_COMPARE(m_opener->requests(),
                     QStringList{QUrl::fromLocalFile(m_mails->path()).toString()});
    else
        QVERIFY(m_opener->requests().isEmpty());
}

void TestForm::escapeSetsStopWhicheverControlHasFocus_data()
{
    QTest::addColumn<QString>("focus");
    for (const char* name : {"JvFileListBox1", "JvFileListBox2", "Edit1", "Memo1", "Memo2",
                             "ListBox1", "Button1", "chk_AUTO", "JvDirectoryEdit1"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestForm::escapeSetsStopWhicheverControlHasFocus()
{
    QFETCH(QString, focus);
    auto* target = m_form->findChild<QWidget*>(focus);
    QVERIFY(target);
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    m_form->scan()->StopRequested = false;
    const QString memoText = m_form->Memo1()->text();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(m_form->scan()->StopRequested);
    // Outside a scan nothing visible changes.
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_form->Memo1()->text(), memoText);
}

void TestForm::escapeForTheMenusDoesNotStop_data()
{
    QTest::addColumn<bool>("openMenu");
    QTest::newRow("Alt then Escape leaves the menu bar") << false;
    QTest::newRow("Escape closes a menu, then leaves the menu bar") << true;
}

void TestForm::escapeForTheMenusDoesNotStop()
{
    QFETCH(bool, openMenu);
    // The application style is the one that lets Alt alone select the menu bar.
    QVERIFY(TStyleManager::TrySetStyle(QStringLiteral("Metropolis UI Blue"), false));
    const auto systemStyle = qScopeGuard([] { TStyleManager::resetForTesting(); });
    m_form->activateWindow();
    m_form->JvFileListBox1()->setFocus();
    QTRY_VERIFY(m_form->JvFileListBox1()->hasFocus());
    m_form->scan()->StopRequested = false;
    QMenuBar* bar = m_form->menuBar();

    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
    QTRY_VERIFY(bar->hasFocus());
    if (openMenu) {
        QTest::keyClick(bar, Qt::Key_Down);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(bar->hasFocus());
    }
    QTest::keyClick(bar, Qt::Key_Escape);
    QTRY_VERIFY(m_form->JvFileListBox1()->hasFocus());
    QVERIFY(!m_form->scan()->StopRequested);

    // Back on the window, Escape is the scan's again.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(m_form->scan()->StopRequested);
}

void TestForm::doubleClickOnEmptyDuplicatesListOpensTrash()
{
    QCOMPARE(m_form->ListBox1()->count(), 0);
    QTest::mouseDClick(m_form->ListBox1()->viewport(), Qt::LeftButton);
    QTRY_COMPARE(m_opener->requests(), QStringList{QStringLiteral("trash:///")});
}

void TestForm::onlyLeftDoubleClickOpensTrash_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("right button") << Qt::RightButton;
    QTest::newRow("middle button") << Qt::MiddleButton;
}

void TestForm::onlyLeftDoubleClickOpensTrash()
{
    QFETCH(Qt::MouseButton, button);
    QTest::mouseDClick(m_form->ListBox1()->viewport(), button);
    m_form->PopupMenu2()->close();
    // The left button's request comes second: had the other button made one, it would be
    // recorded before it.
    QTest::mouseDClick(m_form->ListBox1()->viewport(), Qt::LeftButton);
    QTRY_COMPARE(m_opener->requests(), QStringList{QStringLiteral("trash:///")});
}

void TestForm::statusCountsFromFirstShow_data()
{
    QTest::addColumn<bool>("withFiles");
    QTest::addColumn<QString>("mainCount");
    QTest::addColumn<QString>("candidateCount");
    // "abc1.txt" is the reference; its candidates are the names beginning with "abc".
    QTest::newRow("current folder with mails") << true << "3"
                                               << "2";
    QTest::newRow("empty current folder") << false << "0"
                                          << "0";
}

void TestForm::statusCountsFromFirstShow()
{
    QFETCH(bool, withFiles);
    QFETCH(QString, mainCount);
    QFETCH(QString, candidateCount);
    m_form.reset();
    TempFolder empty;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(withFiles ? m_mails->path() : empty.path()));
    const auto backToPrevious = qScopeGuard([&] { QDir::setCurrent(previous); });
    // An empty stored folder: the restore points the lists at no folder, so they keep what they
    // read when they were made.
    IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("DOSSIER"), QString());
    m_form = std::make_unique<TForm1>();
    QCOMPARE(m_form->JvFileListBox1()->directory(), QDir::currentPath());
    QCOMPARE(m_form->statusText(0), mainCount);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QCOMPARE(m_form->statusText(0), mainCount);
    QCOMPARE(m_form->statusText(1), candidateCount);
}

void TestForm::quitClosesOutsideScan()
{
    m_form->FichierFileExit1()->trigger();
    QVERIFY(!m_form->isVisible());
    // Closing saved the settings.
    QCOMPARE(IniReadString(QStringLiteral("OPTIONS"), QStringLiteral("MASQUE"), QString()),
             QStringLiteral("*.*"));
}

// Dragging the bar beside a side column widens it; the column keeps that width when the window
// grows, the middle column taking the rest.
void TestForm::sideColumnsCanBeWidened()
{
    auto* columns = m_form->findChild<QSplitter*>(QStringLiteral("Columns"));
    QVERIFY(columns);
    QCOMPARE(columns->count(), 3);
    QSplitterHandle* left = columns->handle(1);
    QSplitterHandle* right = columns->handle(2);
    const int listeBefore = m_form->PANEL_LISTE()->width();
    const int doublonsBefore = m_form->JvCaptionPanel1()->width();

    auto drag = [](QWidget* handle, int dx) {
        const QPoint from = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(dx, 0)),
                         handle->mapToGlobal(QPointF(from + QPoint(dx, 0))), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, from + QPoint(dx, 0));
    };
    drag(left, 80);
    drag(right, -60);
    QCOMPARE(m_form->PANEL_LISTE()->width(), listeBefore + 80);
    QCOMPARE(m_form->JvCaptionPanel1()->width(), doublonsBefore + 60);

    const int middle = m_form->JvCaptionPanel2()->width();
    m_form->resize(m_form->width() + 100, m_form->height());
    QTRY_COMPARE(m_form->JvCaptionPanel2()->width(), middle + 100);
    QCOMPARE(m_form->PANEL_LISTE()->width(), listeBefore + 80);
    QCOMPARE(m_form->JvCaptionPanel1()->width(), doublonsBefore + 60);
}

void TestForm::refreshOfRemovedFolderIsReported_data()
{
    QTest::addColumn<bool>("parentToo");
    QTest::newRow("folder removed") << false;
    QTest::newRow("folder and its parent removed") << true;
}

// F5 on a folder removed since: the list empties and the user is told, in the words the folder
// field uses for a missing folder.
void TestForm::refreshOfRemovedFolderIsReported()
{
    QFETCH(bool, parentToo);
    TempFolder outer;
    const QString folder = outer.filePath(QStringLiteral("boite/mails"));
    QVERIFY(QDir().mkpath(folder));
    outer.write(QStringLiteral("boite/mails/a.eml"), "Bonjour\r\n");
    m_form->JvDirectoryEdit1()->setDirectory(folder);
    QCOMPARE(m_form->JvFileListBox1()->itemCount(), 1);
    QVERIFY(QDir(parentToo ? outer.filePath(QStringLiteral("boite")) : folder).removeRecursively());

    QStringList messages;
    {
        DialogAnswerer answerer;
        answerer.press(Qt::Key_Return);
        m_form->JvFileListBox1()->setFocus();
        QTRY_VERIFY(m_form->JvFileListBox1()->hasFocus());
        QTest::keyClick(m_form->JvFileListBox1(), Qt::Key_F5);
        QTRY_COMPARE(answerer.results(), QList<int>{1});
        messages << answerer.texts();
    }
    QCOMPARE(m_form->JvFileListBox1()->itemCount(), 0);
    QCOMPARE(m_form->statusText(0), QStringLiteral("0"));
    {
        DialogAnswerer answerer;
        answerer.press(Qt::Key_Return);
        m_form->JvDirectoryEdit1()->setDirectory(m_mails->path());
        m_form->JvDirectoryEdit1()->setDirectory(folder);
        QTRY_COMPARE(answerer.results(), QList<int>{1});
        messages << answerer.texts();
    }
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0], messages[1]);
    QCOMPARE(messages[0], parentToo ? QStringLiteral("Impossible de trouver le chemin d'accès "
                                                     "spécifié.")
                                    : QStringLiteral("Impossible de trouver le fichier "
                                                     "spécifié."));
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
