#include "app/FrenchTranslation.h"
#include "support/DialogAnswerer.h"
#include "support/TempFolder.h"
#include "widgets/TJvDirectoryEdit.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>

// The real folder dialog, in French, with readable columns, opened where the rule says.
class TestFolderPicker : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void frenchAndReadable_data();
    void frenchAndReadable();
};

void TestFolderPicker::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(InstallFrenchTranslation(), "Qt's French translation (qt6-translations-l10n)");
}

void TestFolderPicker::frenchAndReadable_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("existing folder") << "";
    QTest::newRow("folder since removed opens on its parent") << "/parti";
}

void TestFolderPicker::frenchAndReadable()
{
    QFETCH(QString, text);
    TempFolder folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Courrier")));
    QWidget window;
    auto* edit = new TJvDirectoryEdit(&window);
    edit->setDirectory(folder.path() + text);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    DialogAnswerer answerer;
    QString opened;
    QString title;
    QStringList labels;
    QStringList buttons;
    QString type;
    QStringList cutHeaders;
    answerer.inspect([&](QDialog* dialog) {
        auto* picker = qobject_cast<QFileDialog*>(dialog);
        QVERIFY(picker);
        opened = picker->directory().absolutePath();
        title = picker->windowTitle();
        for (const char* name : {"lookInLabel", "fileNameLabel"})
            labels.append(picker->findChild<QLabel*>(QString::fromLatin1(name))->text());
        for (QAbstractButton* b : picker->findChild<QDialogButtonBox*>()->buttons())
            buttons.append(b->text());
        auto* view = picker->findChild<QTreeView*>();
        QAbstractItemModel* model = view->model();
        QModelIndex row;
        QTRY_VERIFY((row = model->index(0, 2, view->rootIndex())).isValid());
        type = row.data().toString();
        QHeaderView* header = view->header();
        for (int c = 1; c < header->count(); ++c) {
            const QString name = model->headerData(c, Qt::Horizontal).toString();
            const int needed = qMax(header->fontMetrics().horizontalAdvance(name),
                                    static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c));
            if (header->isSectionHidden(c) || header->sectionSize(c) < needed)
                cutHeaders.append(name);
        }
    });
    answerer.press(Qt::Key_Escape);
    edit->chooseFolder();
    QCOMPARE(answerer.pending(), 0);

    QCOMPARE(opened, folder.path());
    QCOMPARE(title, QStringLiteral("Choisir un dossier"));
    QCOMPARE(labels, (QStringList{"Voir dans :", "Dossier :"}));
    QCOMPARE(buttons.size(), 2);
    QVERIFY(buttons.contains(QStringLiteral("&Choisir")));
    QVERIFY(buttons.contains(QStringLiteral("Annuler")));
    QCOMPARE(type, QStringLiteral("Dossier"));
    QCOMPARE(cutHeaders, QStringList());
    // Cancelled: the text is unchanged.
    QCOMPARE(edit->directory(), folder.path() + text);
}

QTEST_MAIN(TestFolderPicker)
#include "tst_folderpicker.moc"
