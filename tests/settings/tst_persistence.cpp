#include "app/TForm1.h"
#include "scan/TMemo.h"
#include "settings/FormGeometry.h"
#include "settings/SettingsHelpers.h"
#include "support/DialogAnswerer.h"
#include "support/TempFolder.h"
#include "widgets/TJvDirectoryEdit.h"
#include "widgets/TJvFileListBox.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// What the window restores when it is created and saves when asked and when it closes.
class TestPersistence : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void noFileGivesDefaultsAndCreatesNothing();
    void readOnlyExecutableFolder_data();
    void readOnlyExecutableFolder();
    void firstSaveLayout();
    void secondSaveWritesSameBytes();
    void saveKeepsForeignLines();
    void restoredMode_data();
    void restoredMode();
    void restoredAuto_data();
    void restoredAuto();
    void restoredMask_data();
    void restoredMask();
    void missingFolderReportedAndRestoreGoesOn();
    void heightsAreBounded_data();
    void heightsAreBounded();
    void unwritableFileReportedAndWindowStillCloses_data();
    void unwritableFileReportedAndWindowStillCloses();

private:
    QString iniPath() const { return m_home->filePath(QStringLiteral("twindrop.INI")); }
    TForm1& start();
    void write(const QByteArray& content);

    std::unique_ptr<TempFolder> m_home;
    std::unique_ptr<TempFolder> m_mails;
    std::unique_ptr<TForm1> m_form;
};

void TestPersistence::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestPersistence::init()
{
    m_home = std::make_unique<TempFolder>();
    m_mails = std::make_unique<TempFolder>();
    m_mails->write(QStringLiteral("a.txt"), "x");
    SetExecutablePathForTesting(m_home->filePath(QStringLiteral("twindrop")));
    SetWorkAreaForTesting(QRect(0, 0, 1920, 1040));
}

void TestPersistence::cleanup()
{
    m_form.reset();
    SetExecutablePathForTesting(QString());
    SetWorkAreaForTesting(std::nullopt);
}

TForm1& TestPersistence::start()
{
    m_form = std::make_unique<TForm1>();
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("window not exposed");
    return *m_form;
}

void TestPersistence::write(const QByteArray& content)
{
    m_home->write(QStringLiteral("twindrop.INI"), content);
}

void TestPersistence::noFileGivesDefaultsAndCreatesNothing()
{
    // The default folder is the executable's: it holds nothing matching "*.*" but the test files.
    TForm1& form = start();
    QCOMPARE(form.JvDirectoryEdit1()->text(), m_home->path());
    QCOMPARE(form.JvFileListBox1()->directory(), m_home->path());
    QCOMPARE(form.Edit1()->text(), QStringLiteral("*.*"));
    QCOMPARE(form.JvFileListBox1()->mask(), QStringLiteral("*.**"));
    QVERIFY(!form.chk_AUTO()->isChecked());
    QCOMPARE(form.radioGroupIndex(), 0);
    QCOMPARE(form.JvFileListBox2()->height(), 160);
    QCOMPARE(form.Memo2()->height(), 160);
    QCOMPARE(form.ListBox1()->height(), 160);
    QVERIFY(!QFile::exists(iniPath()));
}

void TestPersistence::readOnlyExecutableFolder_data()
{
    QTest::addColumn<bool>("fileBeside");
    QTest::newRow("no settings file beside it starts in the home folder") << false;
    QTest::newRow("a settings file beside it keeps the executable's folder") << true;
}

// The executable's folder cannot be written (an installed twindrop); the settings file names
// no folder.
void TestPersistence::readOnlyExecutableFolder()
{
    QFETCH(bool, fileBeside);
    const QString bin = m_home->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkdir(bin));
    m_home->write(QStringLiteral("bin/programme.txt"), "x");
    if (fileBeside)
        m_home->write(QStringLiteral("bin/twindrop.INI"), "[OPTIONS]\nAUTO=0\n");
    SetExecutablePathForTesting(bin + QStringLiteral("/twindrop"));
    QVERIFY(QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const auto reopen = qScopeGuard([&] {
        QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    });
    const QByteArray home = qgetenv("HOME");
    const auto homeBack = qScopeGuard([&] { qputenv("HOME", home); });
    qputenv("HOME", QFile::encodeName(m_mails->path()));
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir(config).removeRecursively();
    QCOMPARE(IniFilePath().startsWith(bin), fileBeside);

    TForm1& form = start();
    const QString folder = fileBeside ? bin : m_mails->path();
    QCOMPARE(form.JvDirectoryEdit1()->text(), folder);
    QCOMPARE(form.JvFileListBox1()->directory(), fileBeside ? bin : m_mails->path());
}

void TestPersistence::firstSaveLayout()
{
    TForm1& form = start();
    form.JvDirectoryEdit1()->setDirectory(m_mails->path());
    form.INI_SAVE()->trigger();
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines[0], QStringLiteral("[twindrop]"));
    QVERIFY(lines[1].startsWith("Form1="));
    QCOMPARE(lines[1].mid(6).split(':').size(), 4);
    QCOMPARE(lines.mid(2),
             (QStringList{"[OPTIONS]", "DOSSIER=" + m_mails->path(), "MASQUE=*.*", "AUTO=0",
                          "MODE=0", "[HAUTEUR]", "LISTE=160", "MEMO=160", "DOUBLON=160"}));
}

void TestPersistence::secondSaveWritesSameBytes()
{
    IniWriteString("OPTIONS", "DOSSIER", m_mails->path());
    TForm1& form = start();
    form.INI_SAVE()->trigger();
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray first = file.readAll();
    file.close();
    form.INI_SAVE()->trigger();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), first);
}

void TestPersistence::saveKeepsForeignLines()
{
    write("; notes of mine\n[Autre]\ncle=valeur\n[OPTIONS]\nDOSSIER=" + m_mails->path().toUtf8() +
          "\nINCONNU=42\n");
    TForm1& form = start();
    form.INI_SAVE()->trigger();
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith("; notes of mine\n[Autre]\ncle=valeur\n[OPTIONS]\n"));
    QVERIFY(text.contains("INCONNU=42\n"));
    QVERIFY(text.contains("MASQUE=*.*"));
}

void TestPersistence::restoredMode_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("index");
    QTest::newRow("7 selects the last mode") << QByteArray("7") << 2;
    QTest::newRow("-5 selects no mode") << QByteArray("-5") << -1;
    QTest::newRow("abc keeps the current mode") << QByteArray("abc") << 0;
    QTest::newRow("1 selects mode 1") << QByteArray("1") << 1;
}

void TestPersistence::restoredMode()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, index);
    write("[OPTIONS]\nDOSSIER=" + m_mails->path().toUtf8() + "\nMODE=" + stored + "\n");
    QCOMPARE(start().radioGroupIndex(), index);
}

void TestPersistence::restoredAuto_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("checked");
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("2") << QByteArray("2") << true;
    QTest::newRow("-1") << QByteArray("-1") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("abc") << QByteArray("abc") << false;
}

void TestPersistence::restoredAuto()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, checked);
    write("[OPTIONS]\nDOSSIER=" + m_mails->path().toUtf8() + "\nAUTO=" + stored + "\n");
    QCOMPARE(start().chk_AUTO()->isChecked(), checked);
}

void TestPersistence::restoredMask_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("mask");
    QTest::newRow("the initial text") << QByteArray("*.*") << "*.**";
    QTest::newRow("a year") << QByteArray("2019") << "2019*";
}

void TestPersistence::restoredMask()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, mask);
    write("[OPTIONS]\nDOSSIER=" + m_mails->path().toUtf8() + "\nMASQUE=" + stored + "\n");
    QCOMPARE(start().JvFileListBox1()->mask(), mask);
}

void TestPersistence::missingFolderReportedAndRestoreGoesOn()
{
    const QString gone = m_mails->path() + "/parti";
    write("[OPTIONS]\nDOSSIER=" + gone.toUtf8() +
          "\nMASQUE=2019\nAUTO=1\nMODE=2\n[HAUTEUR]\nMEMO=120\n");
    DialogAnswerer answers;
    answers.press(Qt::Key_Return);
    TForm1& form = start();
    QTRY_COMPARE(answers.texts().size(), 1);
    QCOMPARE(answers.texts()[0], QStringLiteral("Impossible de trouver le fichier spécifié."));
    QCOMPARE(form.JvDirectoryEdit1()->text(), gone);
    // The other values were restored all the same.
    QCOMPARE(form.Edit1()->text(), QStringLiteral("2019"));
    QVERIFY(form.chk_AUTO()->isChecked());
    QCOMPARE(form.radioGroupIndex(), 2);
    QCOMPARE(form.Memo2()->height(), 120);
}

void TestPersistence::heightsAreBounded_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("fits");
    QTest::newRow("zero") << 0 << true;
    QTest::newRow("negative") << -40 << true;
    QTest::newRow("huge") << 100000 << true;
    QTest::newRow("ordinary") << 200 << true;
}

void TestPersistence::heightsAreBounded()
{
    QFETCH(int, stored);
    write("[OPTIONS]\nDOSSIER=" + m_mails->path().toUtf8() + "\n[HAUTEUR]\nLISTE=" +
          QByteArray::number(stored) + "\nMEMO=" + QByteArray::number(stored) +
          "\nDOUBLON=" + QByteArray::number(stored) + "\n");
    TForm1& form = start();
    for (QWidget* lower :
         {static_cast<QWidget*>(form.JvFileListBox2()), static_cast<QWidget*>(form.Memo2()),
          static_cast<QWidget*>(form.ListBox1())}) {
        QVERIFY2(lower->height() >= 30, qPrintable(lower->objectName()));
        const QWidget* column = lower->parentWidget();
        QVERIFY2(lower->geometry().bottom() <= column->rect().bottom(),
                 qPrintable(lower->objectName()));
    }
    // The controls above keep room too.
    QVERIFY(form.JvFileListBox1()->height() >= 30);
    QVERIFY(form.Memo1()->height() >= 30);
    QVERIFY(form.Button1()->height() >= 25);
    if (stored == 200)
        QCOMPARE(form.Memo2()->height(), 200);
}

void TestPersistence::unwritableFileReportedAndWindowStillCloses_data()
{
    QTest::addColumn<bool>("configWritable");
    QTest::newRow("saved to the configuration folder instead, read from there next time") << true;
    QTest::newRow("configuration folder unwritable too: reported, the window still closes")
        << false;
}

// A settings file beside the program that cannot be written (a shared copy).
void TestPersistence::unwritableFileReportedAndWindowStillCloses()
{
    QFETCH(bool, configWritable);
    const QByteArray shared = "[OPTIONS]\nDOSSIER=" + m_mails->path().toUtf8() + "\n";
    write(shared);
    QVERIFY(QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::ReadGroup));
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir(config).removeRecursively();
    QFile::remove(config);
    const auto clean = qScopeGuard([&] {
        QFile::remove(config);
        QDir(config).removeRecursively();
    });
    if (!configWritable) {
        // A file where the folder would go.
        QVERIFY(QDir().mkpath(QFileInfo(config).absolutePath()));
        QFile blocker(config);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    const QString copy = config + QStringLiteral("/twindrop.INI");

    TForm1& form = start();
    QCOMPARE(form.JvDirectoryEdit1()->text(), m_mails->path());
    DialogAnswerer answers;
    answers.setDefaultKeys({Qt::Key_Return}, 1);
    form.Edit1()->setText(QStringLiteral("*.eml"));
    form.close();
    QVERIFY(!form.isVisible());
    QCOMPARE(readAll(iniPath()), shared);
    if (!configWritable) {
        QCOMPARE(answers.texts(), QStringList{"Impossible d'écrire dans " + copy + "."});
        return;
    }
    QCOMPARE(answers.texts(), QStringList());
    QCOMPARE(IniFilePath(), copy);
    QCOMPARE(IniReadString(QStringLiteral("OPTIONS"), QStringLiteral("DOSSIER"), QString()),
             m_mails->path());
    QCOMPARE(IniReadString(QStringLiteral("OPTIONS"), QStringLiteral("MASQUE"), QString()),
             QStringLiteral("*.eml"));
}

QTEST_MAIN(TestPersistence)
#include "tst_persistence.moc"
