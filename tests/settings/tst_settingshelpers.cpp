#include "base/Errors.h"
#include "settings/SettingsHelpers.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QFileDevice::Permissions kReadOnlyFolder = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
const QFileDevice::Permissions kOpenFolder = kReadOnlyFolder | QFileDevice::WriteOwner;

} // namespace

class TestSettingsHelpers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { SetExecutablePathForTesting(QString()); }

    void extensionRule_data();
    void extensionRule();
    void executableNames_data();
    void executableNames();
    void iniFileBesideTheExecutable();
    void iniFileInConfigFolderWhenInstalled();
    void splitText_data();
    void splitText();
    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();
    void writtenForms();
    void readsCreateNothing();
    void refusedWriteRaises_data();
    void refusedWriteRaises();
};

void TestSettingsHelpers::extensionRule_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("dot in the folder name is no extension") << "/opt/Outils.v2/twindrop"
                                                            << "/opt/Outils.v2/twindrop.INI";
    QTest::newRow("name whose only dot is its first character") << "/opt/tools/.twindrop"
                                                                << "/opt/tools/.twindrop.INI";
    QTest::newRow("name without extension") << "/opt/tools/twindrop"
                                            << "/opt/tools/twindrop.INI";
    QTest::newRow("extension replaced") << "/opt/tools/twindrop.exe"
                                        << "/opt/tools/twindrop.INI";
    QTest::newRow("only the last extension replaced") << "/opt/a.b.c"
                                                      << "/opt/a.b.INI";
    QTest::newRow("colon is an ordinary character") << "/opt/a.b:c"
                                                    << "/opt/a.INI";
    QTest::newRow("bare name starting with a dot") << ".twindrop"
                                                   << ".twindrop.INI";
}

void TestSettingsHelpers::extensionRule()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(ChangeFileExt(path, ".INI"), expected);
}

void TestSettingsHelpers::executableNames_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("upperBaseName");

    QTest::newRow("letter case of the folder kept") << "/Opt/Outils.v2/TwinDrop"
                                                    << "/Opt/Outils.v2/"
                                                    << "TwinDrop"
                                                    << "TWINDROP";
    QTest::newRow("extension dropped from the base name") << "/opt/tools/twindrop.bin"
                                                          << "/opt/tools/"
                                                          << "twindrop"
                                                          << "TWINDROP";
    QTest::newRow("hidden name keeps its dot") << "/opt/.twindrop"
                                               << "/opt/"
                                               << ".twindrop"
                                               << ".TWINDROP";
    QTest::newRow("only a to z upper-cased")
        << QString::fromUtf8("/opt/\xC3\xA9t\xC3\xA9") << "/opt/"
        << QString::fromUtf8("\xC3\xA9t\xC3\xA9") << QString::fromUtf8("\xC3\xA9T\xC3\xA9");
    QTest::newRow("executable in the root folder") << "/twindrop"
                                                   << "/"
                                                   << "twindrop"
                                                   << "TWINDROP";
}

void TestSettingsHelpers::executableNames()
{
    QFETCH(QString, executable);
    QFETCH(QString, directory);
    QFETCH(QString, baseName);
    QFETCH(QString, upperBaseName);

    SetExecutablePathForTesting(executable);
    QCOMPARE(AppDirectory(), directory);
    QCOMPARE(AppBaseName(false), baseName);
    QCOMPARE(AppBaseName(true), upperBaseName);
}

void TestSettingsHelpers::iniFileBesideTheExecutable()
{
    TempFolder folder;
    QVERIFY(QDir(folder.path()).mkdir("Outils.v2"));
    SetExecutablePathForTesting(folder.filePath("Outils.v2/twindrop"));
    QCOMPARE(IniFilePath(), folder.filePath("Outils.v2/twindrop.INI"));

    IniWriteString("OPTIONS", "MASQUE", "*.eml", QString());
    QCOMPARE(readBytes(folder.filePath("Outils.v2/twindrop.INI")),
             QByteArray("[OPTIONS]\nMASQUE=*.eml\n"));
    QCOMPARE(IniReadString("OPTIONS", "MASQUE", "*.*", QString()), QString("*.eml"));
}

void TestSettingsHelpers::iniFileInConfigFolderWhenInstalled()
{
    TempFolder folder;
    const QString bin = folder.filePath("bin");
    QVERIFY(QDir().mkdir(bin));
    SetExecutablePathForTesting(bin + "/twindrop");
    QVERIFY(QFile::setPermissions(bin, kReadOnlyFolder));

    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir(config).removeRecursively();
    QCOMPARE(IniFilePath(), config + "/twindrop.INI");
    IniWriteInteger("OPTIONS", "MODE", 2, QString());
    QCOMPARE(readBytes(config + "/twindrop.INI"), QByteArray("[OPTIONS]\nMODE=2\n"));
    QCOMPARE(IniReadInteger("OPTIONS", "MODE", 0, QString()), 2);
    QDir(config).removeRecursively();

    // A settings file already beside the executable is still the one used.
    QVERIFY(QFile::setPermissions(bin, kOpenFolder));
    folder.write("bin/twindrop.INI", "[OPTIONS]\nMODE=1\n");
    QVERIFY(QFile::setPermissions(bin, kReadOnlyFolder));
    QCOMPARE(IniFilePath(), bin + "/twindrop.INI");
    QCOMPARE(IniReadInteger("OPTIONS", "MODE", 0, QString()), 1);
    QVERIFY(QFile::setPermissions(bin, kOpenFolder));
}

void TestSettingsHelpers::splitText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("four pieces") << "120:80:911:545" << QStringList{"120", "80", "911", "545"};
    QTest::newRow("empty piece between separators") << "a::b" << QStringList{"a", "", "b"};
    QTest::newRow("empty piece before a leading separator") << ":a" << QStringList{"", "a"};
    QTest::newRow("no piece after a trailing separator") << "a:" << QStringList{"a"};
    QTest::newRow("empty text gives no piece") << "" << QStringList{};
    QTest::newRow("separator alone gives one empty piece") << ":" << QStringList{""};
}

void TestSettingsHelpers::splitText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, pieces);
    QCOMPARE(SplitText(text, ":"), pieces);
}

void TestSettingsHelpers::readInteger_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");

    QTest::newRow("0x prefix") << QByteArray("N=0x1F") << 31;
    QTest::newRow("0X prefix") << QByteArray("N=0X1F") << 31;
    QTest::newRow("dollar prefix") << QByteArray("N=$1F") << 31;
    QTest::newRow("x prefix") << QByteArray("N=x1f") << 31;
    QTest::newRow("negative decimal") << QByteArray("N=-5") << -5;
    QTest::newRow("plus sign") << QByteArray("N=+8") << 8;
    QTest::newRow("leading blank inside quotes") << QByteArray("N=\" 7\"") << 7;
    QTest::newRow("blanks around the value trimmed") << QByteArray("N=  7  ") << 7;
    QTest::newRow("negative hexadecimal") << QByteArray("N=-$10") << -16;
    QTest::newRow("eight hex digits read as a 32-bit pattern") << QByteArray("N=$FFFFFFFF") << -1;
    QTest::newRow("largest decimal") << QByteArray("N=2147483647") << 2147483647;
    QTest::newRow("smallest decimal") << QByteArray("N=-2147483648") << int(-2147483648LL);
    QTest::newRow("decimal beyond 32 bits gives the default") << QByteArray("N=2147483648") << 42;
    QTest::newRow("nine hex digits give the default") << QByteArray("N=$1FFFFFFFF") << 42;
    QTest::newRow("letters give the default") << QByteArray("N=abc") << 42;
    QTest::newRow("trailing text gives the default") << QByteArray("N=12px") << 42;
    QTest::newRow("trailing blank inside quotes gives the default") << QByteArray("N=\"7 \"") << 42;
    QTest::newRow("prefix without digits gives the default") << QByteArray("N=0x") << 42;
    QTest::newRow("empty value gives the default") << QByteArray("N=") << 42;
    QTest::newRow("missing key gives the default") << QByteArray("OTHER=1") << 42;
}

void TestSettingsHelpers::readInteger()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);

    TempFolder folder;
    const QString path = folder.write("t.INI", "[S]\n" + line + "\n");
    QCOMPARE(IniReadInteger("S", "N", 42, path), expected);
}

void TestSettingsHelpers::readBool_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");

    QTest::newRow("2 is true") << QByteArray("B=2") << false << true;
    QTest::newRow("-1 is true") << QByteArray("B=-1") << false << true;
    QTest::newRow("1 is true") << QByteArray("B=1") << false << true;
    QTest::newRow("0 is false") << QByteArray("B=0") << true << false;
    QTest::newRow("true gives the default false") << QByteArray("B=true") << false << false;
    QTest::newRow("true gives the default true") << QByteArray("B=true") << true << true;
    QTest::newRow("oui gives the default false") << QByteArray("B=oui") << false << false;
    QTest::newRow("oui gives the default true") << QByteArray("B=oui") << true << true;
    QTest::newRow("missing key gives the default false") << QByteArray("X=1") << false << false;
    QTest::newRow("missing key gives the default true") << QByteArray("X=0") << true << true;
}

void TestSettingsHelpers::readBool()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);

    TempFolder folder;
    const QString path = folder.write("t.INI", "[S]\n" + line + "\n");
    QCOMPARE(IniReadBool("S", "B", defaultValue, path), expected);
}

void TestSettingsHelpers::writtenForms()
{
    TempFolder folder;
    const QString path = folder.filePath("t.INI");
    IniWriteInteger("S", "NEG", -5, path);
    IniWriteBool("S", "ON", true, path);
    IniWriteBool("S", "OFF", false, path);
    IniWriteString("S", "TEXT", "*.*", path);
    QCOMPARE(readBytes(path), QByteArray("[S]\nNEG=-5\nON=1\nOFF=0\nTEXT=*.*\n"));
}

void TestSettingsHelpers::readsCreateNothing()
{
    TempFolder folder;
    const QString path = folder.filePath("sub/t.INI");
    QCOMPARE(IniReadString("S", "K", "dflt", path), QString("dflt"));
    QCOMPARE(IniReadInteger("S", "K", 3, path), 3);
    QCOMPARE(IniReadBool("S", "K", true, path), true);
    QVERIFY(QDir(folder.path()).isEmpty());
}

void TestSettingsHelpers::refusedWriteRaises_data()
{
    QTest::addColumn<bool>("missingFolder");
    QTest::newRow("read-only file") << false;
    QTest::newRow("missing folder") << true;
}

void TestSettingsHelpers::refusedWriteRaises()
{
    QFETCH(bool, missingFolder);

    TempFolder folder;
    QString path = folder.write("t.INI", "[S]\nA=1\n");
    if (missingFolder)
        path = folder.filePath("gone/t.INI");
    else
        QFile::setPermissions(path, QFileDevice::ReadOwner);

    QString message;
    try {
        IniWriteInteger("S", "A", 2, path);
    } catch (const base::EIniFileException& error) {
        message = error.message();
    }
    QCOMPARE(message, QString::fromUtf8("Impossible d'\xC3\xA9"
                                        "crire dans ") +
                          path);
    QCOMPARE(IniReadInteger("S", "A", 0, folder.filePath("t.INI")), 1);
}

QTEST_GUILESS_MAIN(TestSettingsHelpers)
#include "tst_settingshelpers.moc"
