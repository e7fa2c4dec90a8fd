// "Restaurer la dernière analyse", driven as the user drives it: a scan by its button, the item of
// the menu "Fichier", the dialogs answered by keys; what is checked is the files.
#include "ScanFixture.h"

#include "dialogs/SystemSound.h"
#include "widgets/TJvFileListBox.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QByteArray kMail = "From: a\r\nSubject: same\r\n\r\nbody\r\n";
const QByteArray kOther = "From: b\r\nSubject: other\r\n\r\nanother body\r\n";
const QString kRestore = QStringLiteral("&Restaurer la dernière analyse");

QMenu* fileMenu(TForm1& form)
{
    for (QAction* a : form.menuBar()->actions()) {
        if (a->text() == QStringLiteral("Fichier"))
            return a->menu();
    }
    return nullptr;
}

QAction* restoreItem(QMenu* menu)
{
    for (QAction* a : menu->actions()) {
        if (a->text() == kRestore)
            return a;
    }
    return nullptr;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

const QRegularExpression
    kQuestion(QStringLiteral("^Restaurer (\\d+) fichiers placés dans la corbeille par l'analyse du "
                             "\\d\\d/\\d\\d/\\d{4} à \\d\\d:\\d\\d:\\d\\d \\?$"));

} // namespace

class TestRestore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void itemAtTheEndOfFileMenuAndInTheDuplicatesMenu();
    void scanThenRestore_data();
    void scanThenRestore();
    void answerNoChangesNothing();
    void whatCannotComeBackIsTold();
    void notWhileAScanRuns();
    void nothingToRestore();

private:
    // Three mails, a1 and a3 alike, scanned in automatic mode: a1 goes to the trash.
    void scanMovingA1(ScanFixture& fx);
    void restoreFromMenu(TForm1& form);

    std::unique_ptr<QTemporaryDir> m_state;
};

void TestRestore::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    SetSoundRecorder([](unsigned) {});
}

void TestRestore::init()
{
    m_state = std::make_unique<QTemporaryDir>();
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
}

void TestRestore::cleanup()
{
    qunsetenv("XDG_STATE_HOME");
}

void TestRestore::scanMovingA1(ScanFixture& fx)
{
    fx.write("a1.txt", kMail);
    fx.write("a2.txt", kOther);
    fx.write("a3.txt", kMail);
    fx.setOption("AUTO", "1");
    fx.start();
    fx.answers.press(Qt::Key_Return); // Comparer 3 fichiers ?
    fx.answers.press(Qt::Key_Return); // summary
    fx.scan();
    QCOMPARE(fx.filesInTrash(), QStringList{"a1.txt"});
    QCOMPARE(fx.answers.pending(), 0);
}

void TestRestore::restoreFromMenu(TForm1& form)
{
    QMenu* menu = fileMenu(form);
    QVERIFY(menu);
    QAction* item = restoreItem(menu);
    QVERIFY(item);
    item->trigger();
}

void TestRestore::itemAtTheEndOfFileMenuAndInTheDuplicatesMenu()
{
    ScanFixture fx;
    TForm1& form = fx.start();
    QMenu* menu = fileMenu(form);
    QVERIFY(menu);
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(texts, (QStringList{"COMPARER", "-", kRestore, "&Quitter"}));
    QVERIFY(restoreItem(form.PopupMenu2()));
}

void TestRestore::scanThenRestore_data()
{
    QTest::addColumn<bool>("restart");
    QTest::newRow("in the same window") << false;
    QTest::newRow("after a restart, from the journal") << true;
}

void TestRestore::scanThenRestore()
{
    QFETCH(bool, restart);
    ScanFixture fx;
    scanMovingA1(fx);
    if (restart)
        fx.start();

    fx.answers.press(Qt::Key_O);      // Oui
    fx.answers.press(Qt::Key_Return); // summary
    restoreFromMenu(fx.form());
    QCOMPARE(fx.answers.pending(), 0);
    const QStringList texts = fx.answers.texts();
    QCOMPARE(texts.size(), 4); // the scan's question and summary, then the restore's
    const QRegularExpressionMatch question = kQuestion.match(texts[2]);
    QVERIFY2(question.hasMatch(), qPrintable(texts[2]));
    QCOMPARE(question.captured(1), QStringLiteral("1"));
    QCOMPARE(fx.answers.captions()[2], QStringLiteral("Confirmer"));
    QCOMPARE(texts.last(), QStringLiteral("1 fichiers restaurés."));
    QCOMPARE(fx.answers.captions().last(), QStringLiteral("Informations"));

    QCOMPARE(fx.filesInFolder(), (QStringList{"a1.txt", "a2.txt", "a3.txt"}));
    QCOMPARE(readBytes(fx.folder() + "/a1.txt"), kMail);
    QCOMPARE(fx.filesInTrash(), QStringList());
    QCOMPARE(QDir(fx.dataHome() + "/Trash/info").entryList(QDir::Files), QStringList());
    QCOMPARE(fx.form().JvFileListBox1()->itemCount(), 3);

    // Once more: nothing more comes back, and the user is told so.
    fx.answers.press(Qt::Key_Return);
    restoreFromMenu(fx.form());
    QVERIFY(fx.answers.texts().last().startsWith(
        QStringLiteral("Les fichiers placés dans la corbeille par l'analyse du ")));
    QVERIFY(fx.answers.texts().last().endsWith(
        QStringLiteral(" ont déjà été restaurés : il n'y a plus rien à restaurer.")));
    QCOMPARE(fx.filesInFolder(), (QStringList{"a1.txt", "a2.txt", "a3.txt"}));
}

void TestRestore::answerNoChangesNothing()
{
    ScanFixture fx;
    scanMovingA1(fx);
    fx.answers.press(Qt::Key_N);
    restoreFromMenu(fx.form());
    QCOMPARE(fx.answers.pending(), 0);
    QVERIFY(kQuestion.match(fx.answers.texts().last()).hasMatch());
    QCOMPARE(fx.filesInTrash(), QStringList{"a1.txt"});
    QCOMPARE(fx.filesInFolder(), (QStringList{"a2.txt", "a3.txt"}));
}

void TestRestore::whatCannotComeBackIsTold()
{
    ScanFixture fx;
    fx.write("a1.txt", kMail);
    fx.write("a2.txt", kMail);
    fx.write("a3.txt", kMail);
    fx.setOption("AUTO", "1");
    fx.start();
    fx.answers.press(Qt::Key_Return);
    fx.answers.press(Qt::Key_Return);
    fx.scan();
    QCOMPARE(fx.filesInTrash(), (QStringList{"a1.txt", "a2.txt"}));
    fx.write("a1.txt", "a new a1");

    fx.answers.press(Qt::Key_Return); // Oui is the default
    fx.answers.press(Qt::Key_Return);
    restoreFromMenu(fx.form());
    QCOMPARE(fx.answers.pending(), 0);
    QCOMPARE(kQuestion.match(fx.answers.texts()[2]).captured(1), QStringLiteral("2"));
    QCOMPARE(fx.answers.texts().last(),
             QStringLiteral("1 fichiers restaurés.\r\n\r\n1 fichiers n'ont pas pu être "
                            "restaurés :\r\n\"%1/a1.txt\" : Un autre fichier porte maintenant son "
                            "nom dans le dossier d'origine.")
                 .arg(fx.folder()));
    QCOMPARE(readBytes(fx.folder() + "/a1.txt"), QByteArray("a new a1"));
    QCOMPARE(readBytes(fx.folder() + "/a2.txt"), kMail);
    QCOMPARE(fx.filesInTrash(), QStringList{"a1.txt"});
}

void TestRestore::notWhileAScanRuns()
{
    ScanFixture fx;
    fx.write("a1.txt", kMail);
    fx.write("a3.txt", kMail);
    fx.setOption("AUTO", "0");
    TForm1& form = fx.start();
    fx.answers.press(Qt::Key_Return); // Comparer 2 fichiers ?
    // While the duplicate question is open the scan runs: the item is chosen then.
    fx.answers.inspect([&](QDialog*) { restoreFromMenu(form); });
    fx.answers.press(Qt::Key_Return); // the warning
    fx.answers.press(Qt::Key_N);      // keep a1
    fx.answers.press(Qt::Key_N);      // keep a3, found from a1
    fx.answers.press(Qt::Key_Return); // summary
    fx.scan();
    QCOMPARE(fx.answers.pending(), 0);
    QCOMPARE(fx.answers.texts()[2],
             QStringLiteral("Une analyse est en cours : la restauration n'est possible qu'une "
                            "fois l'analyse terminée."));
    QCOMPARE(fx.filesInFolder(), (QStringList{"a1.txt", "a3.txt"}));
}

void TestRestore::nothingToRestore()
{
    ScanFixture fx;
    fx.start();
    fx.answers.press(Qt::Key_Return);
    restoreFromMenu(fx.form());
    QCOMPARE(fx.answers.texts(),
             QStringList{"Aucune analyse n'a placé de fichiers dans la corbeille : il n'y a rien "
                         "à restaurer."});
}

QTEST_MAIN(TestRestore)
#include "tst_restore.moc"
