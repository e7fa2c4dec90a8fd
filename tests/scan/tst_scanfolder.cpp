#include "scan/ScanRun.h"
#include "ScanFixture.h"

#include "dialogs/SystemSound.h"
#include "widgets/TJvDirectoryEdit.h"
#include "widgets/TJvFileListBox.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QToolButton>
#include <QtTest>

// A scan acts only on the folder the user chose in the folder field: never on the folder of an
// earlier choice, nor on the process's working folder, whatever failed on the way.
namespace {

const QByteArray kMail = "From: a@example.org\r\nSubject: Réunion\r\n\r\nÀ demain.\r\n";

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

const QString kBlankPattern = QStringLiteral("Search string cannot be blank.");
const QString kFoldersDisagree =
    QStringLiteral("Les listes ne montrent pas le dossier choisi : la comparaison n'est pas "
                   "lancée.\r\nChoisissez de nouveau le dossier à analyser.");

} // namespace

class TestScanFolder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void maskErrorThenAnotherFolder();
    void storedFolderMissingAtStart();
    void listsThatDisagreeDoNotScan_data();
    void listsThatDisagreeDoNotScan();
    void namesCannotForgeLinesOfTheQuestion();
    void folderGoneBeforeTheScan();
};

void TestScanFolder::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    SetSoundRecorder([](unsigned) {});
}

void TestScanFolder::cleanup()
{
    TJvDirectoryEdit::setFolderPicker({});
}

// The main list's re-read fails on the mask after it entered the new folder: the candidate list,
// from which the scan takes its candidates, must follow it all the same.
void TestScanFolder::maskErrorThenAnotherFolder()
{
    ScanFixture fx;
    fx.write("m1.txt", kMail);
    TempFolder chosen;
    chosen.write("m1.txt", kMail);
    chosen.write("m2.txt", kMail);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();

    fx.answers.press(Qt::Key_Return); // the mask ";"
    form.Edit1()->setFocus();
    form.Edit1()->selectAll();
    QTest::keyClick(form.Edit1(), Qt::Key_Semicolon, Qt::NoModifier);
    QCOMPARE(form.Edit1()->text(), QStringLiteral(";"));

    fx.answers.press(Qt::Key_Return); // the same error in the new folder
    TJvDirectoryEdit::setFolderPicker(
        [&](QWidget*, const QString&) { return std::optional<QString>(chosen.path()); });
    QTest::mouseClick(form.JvDirectoryEdit1()->findChild<QToolButton*>(), Qt::LeftButton);
    QCOMPARE(form.JvDirectoryEdit1()->directory(), chosen.path());
    QCOMPARE(form.JvFileListBox1()->directory(), chosen.path());
    QCOMPARE(form.JvFileListBox2()->directory(), chosen.path());

    QTest::mouseClick(form.Button2(), Qt::LeftButton); // clears the mask
    QCOMPARE(form.JvFileListBox1()->itemCount(), 2);

    fx.answers.press(Qt::Key_Return); // Comparer 2 fichiers ?
    fx.answers.press(Qt::Key_Return); // summary
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();
    const QStringList texts = fx.answers.texts();
    QCOMPARE(texts.size(), 4);
    QCOMPARE(texts[0], kBlankPattern);
    QCOMPARE(texts[1], kBlankPattern);
    QCOMPARE(texts[2], QStringLiteral("Comparer 2 fichiers ?"));
    QCOMPARE(ScanTexts::withoutTime(texts[3]), ScanTexts::summary(2, 1));
    // The duplicate went from the chosen folder; the earlier folder is untouched.
    QCOMPARE(fx.filesInFolder(), QStringList{"m1.txt"});
    QCOMPARE(filesIn(chosen.path()), QStringList{"m2.txt"});
    QCOMPARE(fx.filesInTrash(), QStringList{"m1.txt"});
}

// A stored folder since renamed: the lists stay empty rather than show the working folder (the
// home folder for a desktop launcher), and no scan runs there.
void TestScanFolder::storedFolderMissingAtStart()
{
    ScanFixture fx;
    fx.write("m1.txt", kMail);
    fx.write("m2.txt", kMail);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(fx.folder()));
    const auto backToPrevious = qScopeGuard([&] { QDir::setCurrent(previous); });
    const QString gone = fx.folder() + QStringLiteral("/renomme");
    fx.setOption("DOSSIER", gone);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");

    fx.answers.press(Qt::Key_Return); // the missing folder
    TForm1& form = fx.start();
    QCOMPARE(fx.answers.texts(), QStringList{"Impossible de trouver le fichier spécifié."});
    QCOMPARE(form.JvDirectoryEdit1()->directory(), gone);
    for (TJvFileListBox* list : {form.JvFileListBox1(), form.JvFileListBox2()}) {
        QCOMPARE(list->itemCount(), 0);
        QCOMPARE(list->directory(), QString());
    }
    QCOMPARE(form.statusText(0), QStringLiteral("0"));

    // Refreshing the list does not bring the working folder back.
    form.Raffraichirlaliste2Click();
    QCOMPARE(form.JvFileListBox1()->itemCount(), 0);

    fx.answers.press(Qt::Key_Return); // Comparer 0 fichiers ?
    fx.answers.press(Qt::Key_Return); // the warning
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();
    QCOMPARE(fx.answers.texts(), (QStringList{"Impossible de trouver le fichier spécifié.",
                                              "Comparer 0 fichiers ?", kFoldersDisagree}));
    QCOMPARE(fx.answers.captions()[2], QStringLiteral("Avertissement"));
    QCOMPARE(fx.filesInFolder(), (QStringList{"m1.txt", "m2.txt"}));
    QCOMPARE(fx.filesInTrash(), QStringList());
}

void TestScanFolder::listsThatDisagreeDoNotScan_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("candidate list on another folder") << "candidates elsewhere";
    QTest::newRow("main list on another folder") << "main list elsewhere";
    QTest::newRow("no folder chosen, lists on the working folder") << "no folder";
}

void TestScanFolder::listsThatDisagreeDoNotScan()
{
    QFETCH(QString, fault);
    ScanFixture fx;
    fx.write("m1.txt", kMail);
    fx.write("m2.txt", kMail);
    TempFolder other;
    other.write("m1.txt", kMail);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "1");
    const QString previous = QDir::currentPath();
    const auto backToPrevious = qScopeGuard([&] { QDir::setCurrent(previous); });
    if (fault == "no folder") {
        QVERIFY(QDir::setCurrent(fx.folder()));
        fx.setOption("DOSSIER", QString());
    }
    TForm1& form = fx.start();
    if (fault == "candidates elsewhere")
        form.JvFileListBox2()->setDirectory(other.path());
    else if (fault == "main list elsewhere")
        form.JvFileListBox1()->setDirectory(other.path());
    QVERIFY(!form.FoldersAgree());

    fx.answers.press(Qt::Key_Return); // Comparer n fichiers ?
    fx.answers.press(Qt::Key_Return); // the warning
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();
    const QStringList texts = fx.answers.texts();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts[0].startsWith(QStringLiteral("Comparer ")), qPrintable(texts[0]));
    QCOMPARE(texts[1], kFoldersDisagree);
    QCOMPARE(fx.filesInFolder(), (QStringList{"m1.txt", "m2.txt"}));
    QCOMPARE(filesIn(other.path()), QStringList{"m1.txt"});
    QCOMPARE(fx.filesInTrash(), QStringList());
    QCOMPARE(form.scan()->DuplicateCount, 0);
}

// Line breaks in a name are shown as symbols: the question keeps its nineteen lines, and the
// files keep their names.
void TestScanFolder::namesCannotForgeLinesOfTheQuestion()
{
    ScanFixture fx;
    const QString forged = QStringLiteral("x2\r\n&&\r\nx1.txt");
    fx.write("x1.txt", kMail);
    fx.write(forged, kMail);
    fx.setOption("MODE", "0");
    fx.setOption("AUTO", "0");
    fx.start();
    fx.answers.press(Qt::Key_Return); // Comparer 2 fichiers ?
    fx.answers.type('n');             // keep, as reference then as candidate
    fx.answers.type('n');
    fx.answers.press(Qt::Key_Return); // summary
    fx.answers.setDefaultKeys({Qt::Key_Escape}, 1);
    fx.scan();
    const QStringList texts = fx.answers.texts();
    QCOMPARE(texts.size(), 4);
    const QString shown = QStringLiteral("x2\u240D\u240A&&&&\u240D\u240Ax1.txt");
    QCOMPARE(texts[1], ScanTexts::question(shown, QStringLiteral("x1.txt")));
    QCOMPARE(texts[2], ScanTexts::question(QStringLiteral("x1.txt"), shown));
    QCOMPARE(fx.filesInFolder(), (QStringList{"x1.txt", forged}));
}

void TestScanFolder::folderGoneBeforeTheScan()
{
    ScanFixture fx;
    fx.write("a1.eml", "Bonjour.\r\n");
    fx.write("a2.eml", "Bonjour.\r\n");
    fx.setOption("AUTO", "1");
    TForm1& form = fx.start();
    const QString folder = fx.folder();
    // Put back for the fixture's clean-up.
    auto restore = qScopeGuard([&] { QDir().mkpath(folder); });
    QVERIFY(QDir(folder).removeRecursively());
    fx.answers.setDefaultKeys({Qt::Key_Return}, 1);
    fx.scan();

    // Named in a warning, and no summary of a scan that could not happen.
    const QStringList texts = fx.answers.texts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0], QStringLiteral("Comparer 2 fichiers ?"));
    QCOMPARE(texts[1], QStringLiteral("Impossible d'ouvrir le dossier \"%1\". Le fichier ou le "
                                      "dossier n'existe pas.")
                           .arg(folder));
    QCOMPARE(fx.answers.captions()[1], QStringLiteral("Avertissement"));
    QCOMPARE(form.Button1()->text(), QStringLiteral("Comparer"));
    QCOMPARE(form.scan()->DuplicateCount, 0);
}

QTEST_MAIN(TestScanFolder)
#include "tst_scanfolder.moc"
