#include "app/TForm1.h"
#include "scan/TMemo.h"
#include "settings/FormGeometry.h"
#include "settings/SettingsHelpers.h"
#include "support/FakeOpener.h"
#include "support/TempFolder.h"
#include "widgets/TJvDirectoryEdit.h"
#include "widgets/TJvFileListBox.h"
#include "widgets/TStatusBar.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QtTest>

// The main window from the keyboard, and the hints its controls give.
class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tabVisitsEveryControlInReadingOrder();
    void shiftTabGoesBack();
    void radioGroupEntersAtCheckedButton_data();
    void radioGroupEntersAtCheckedButton();
    void arrowsMoveInsideRadioGroup();
    void panesStayEditable();
    void hints_data();
    void hints();

private:
    // Name of the focused control; a radio button answers with its own name.
    static QString focusName();
    QStringList tabs(int count, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    std::unique_ptr<TempFolder> m_home;
    std::unique_ptr<TempFolder> m_mails;
    std::unique_ptr<FakeOpener> m_opener;
    std::unique_ptr<TForm1> m_form;
};

void TestKeyboard::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestKeyboard::init()
{
    m_home = std::make_unique<TempFolder>();
    m_mails = std::make_unique<TempFolder>();
    m_opener = std::make_unique<FakeOpener>();
    m_mails->write(QStringLiteral("abc1.eml"), QByteArray("Bonjour\r\nA bient\xC3\xB4t\r\n"));
    m_mails->write(QStringLiteral("abc2.eml"), QByteArray("Autre\r\n"));
    SetExecutablePathForTesting(m_home->filePath(QStringLiteral("twindrop")));
    SetWorkAreaForTesting(QRect(0, 0, 1920, 1040));
    IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("DOSSIER"), m_mails->path());
    m_form = std::make_unique<TForm1>();
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestKeyboard::cleanup()
{
    m_form.reset();
    SetExecutablePathForTesting(QString());
    SetWorkAreaForTesting(std::nullopt);
}

QString TestKeyboard::focusName()
{
    QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QStringLiteral("(none)");
}

QStringList TestKeyboard::tabs(int count, Qt::KeyboardModifiers modifiers)
{
    QStringList seen;
    for (int i = 0; i < count; ++i) {
        QWidget* w = QApplication::focusWidget();
        if (!w)
            break;
        QTest::keyClick(w, modifiers & Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab,
                        modifiers);
        seen.append(focusName());
    }
    return seen;
}

void TestKeyboard::tabVisitsEveryControlInReadingOrder()
{
    const QString reference = m_form->Memo1()->text();
    const QString candidate = m_form->Memo2()->text();
    QVERIFY(!reference.isEmpty());
    QCOMPARE(focusName(), QStringLiteral("JvDirectoryEdit1"));

    const QStringList expected{"Edit1",   "Button2",  "JvFileListBox1",   "JvFileListBox2",
                               "Memo1",   "Memo2",    "RadioGroup1Item0", "chk_AUTO",
                               "Button1", "ListBox1", "JvDirectoryEdit1"};
    QCOMPARE(tabs(int(expected.size())), expected);
    QCOMPARE(m_form->Memo1()->text(), reference);
    QCOMPARE(m_form->Memo2()->text(), candidate);
}

void TestKeyboard::shiftTabGoesBack()
{
    m_form->Button1()->setFocus(Qt::OtherFocusReason);
    const QStringList expected{"chk_AUTO", "RadioGroup1Item0", "Memo2", "Memo1", "JvFileListBox2"};
    QCOMPARE(tabs(int(expected.size()), Qt::ShiftModifier), expected);
}

void TestKeyboard::radioGroupEntersAtCheckedButton_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("entered");
    QTest::newRow("Rapide checked") << 0 << "RadioGroup1Item0";
    QTest::newRow("Approfondi checked") << 2 << "RadioGroup1Item2";
    QTest::newRow("no mode checked: the first button") << -1 << "RadioGroup1Item0";
}

void TestKeyboard::radioGroupEntersAtCheckedButton()
{
    QFETCH(int, index);
    QFETCH(QString, entered);
    m_form->setRadioGroupIndex(index);
    m_form->Memo2()->setFocus(Qt::OtherFocusReason);
    QCOMPARE(tabs(2), (QStringList{entered, "chk_AUTO"}));
    QCOMPARE(tabs(2, Qt::ShiftModifier), (QStringList{entered, "Memo2"}));
}

void TestKeyboard::arrowsMoveInsideRadioGroup()
{
    m_form->Memo2()->setFocus(Qt::OtherFocusReason);
    QCOMPARE(tabs(1), QStringList{"RadioGroup1Item0"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(focusName(), QStringLiteral("RadioGroup1Item1"));
    QCOMPARE(m_form->radioGroupIndex(), 1);
    // Leaving and coming back lands on the mode now checked.
    QCOMPARE(tabs(1), QStringList{"chk_AUTO"});
    QCOMPARE(tabs(1, Qt::ShiftModifier), QStringList{"RadioGroup1Item1"});
}

void TestKeyboard::panesStayEditable()
{
    for (TMemo* memo : {m_form->Memo1(), m_form->Memo2()}) {
        QVERIFY(!memo->isReadOnly());
        memo->setFocus(Qt::OtherFocusReason);
        memo->moveCursor(QTextCursor::Start);
        QTest::keyClicks(memo, QStringLiteral("Z"));
        QVERIFY(memo->text().startsWith(QLatin1Char('Z')));
    }
}

void TestKeyboard::hints_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("hint");
    QTest::newRow("Rapide") << "RadioGroup1Item0"
                            << "Candidats : les fichiers dont le nom commence par les mêmes "
                               "lettres que la référence (ex. « facture12.eml » et "
                               "« facture-mars.eml »).";
    QTest::newRow("Modéré") << "RadioGroup1Item1"
                            << "Candidats : les fichiers dont le nom commence par le même "
                               "caractère que la référence (ex. « facture12.eml » et "
                               "« fiche.eml »).";
    QTest::newRow("Approfondi") << "RadioGroup1Item2"
                                << "Candidats : tous les fichiers du dossier ; chaque fichier est "
                                   "comparé à tous les autres (plus lent).";
    QTest::newRow("Mode automatique")
        << "chk_AUTO"
        << "Coché : chaque doublon trouvé part à la corbeille sans question.";
    QTest::newRow("field 0") << "StatusField0"
                             << "Nombre de fichiers de la liste principale";
    QTest::newRow("field 1")
        << "StatusField1"
        << "Nombre de fichiers qui répondent au masque des candidats, la référence comprise";
    QTest::newRow("field 2")
        << "StatusField2"
        << "Position du fichier en cours dans la liste pendant une comparaison";
    QTest::newRow("field 3") << "StatusField3"
                             << "Nombre de doublons trouvés par la comparaison en cours";
}

void TestKeyboard::hints()
{
    QFETCH(QString, control);
    QFETCH(QString, hint);
    auto* widget = m_form->findChild<QWidget*>(control);
    QVERIFY(widget);
    QCOMPARE(widget->toolTip(), hint);
    // Captions are unchanged.
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QVERIFY(!button->text().contains(QStringLiteral("Candidats")));
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
