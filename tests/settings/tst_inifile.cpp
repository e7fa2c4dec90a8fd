#include "settings/IniFile.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void read_data();
    void read();
    void write_data();
    void write();
    void newFileIsPlainUtf8();
    void rewriteWritesSameBytes();
    void replacesFileAtomically();
    void refusedWrites_data();
    void refusedWrites();
    void rawBytesOfANameRoundTrip();
};

void TestIniFile::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");

    QTest::newRow("names match in any letter case")
        << QByteArray("[Options]\nDossier=/a\n") << "OPTIONS"
        << "dossier" << true << "/a";
    QTest::newRow("blanks around names and value trimmed")
        << QByteArray("  [ OPTIONS ]  \n  MODE  =  2 \t\n") << "OPTIONS"
        << "MODE" << true << "2";
    QTest::newRow("one pair of quotes removed") << QByteArray("[S]\nk=\"  spaced  \"\n") << "S"
                                                << "k" << true << "  spaced  ";
    QTest::newRow("only one pair of quotes removed") << QByteArray("[S]\nk=\"\"x\"\"\n") << "S"
                                                     << "k" << true << "\"x\"";
    QTest::newRow("a lone quote stays") << QByteArray("[S]\nk=\"x\n") << "S"
                                        << "k" << true << "\"x";
    QTest::newRow("empty value is found") << QByteArray("[S]\nk=\n") << "S"
                                          << "k" << true << "";
    QTest::newRow("value keeps later equal signs") << QByteArray("[S]\nk=a=b\n") << "S"
                                                   << "k" << true << "a=b";
    QTest::newRow("CR LF line ends") << QByteArray("[S]\r\nk=v\r\n") << "S"
                                     << "k" << true << "v";
    QTest::newRow("UTF-8 value") << QByteArray("[S]\nk=\xC3\xA9t\xC3\xA9\n") << "S"
                                 << "k" << true << QString::fromUtf8("\xC3\xA9t\xC3\xA9");
    QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBF[S]\nk=v\n") << "S"
                                             << "k" << true << "v";
    QTest::newRow("key of another section not found") << QByteArray("[A]\nk=1\n[B]\nj=2\n") << "B"
                                                      << "k" << false << "";
    QTest::newRow("key before any section not found") << QByteArray("k=1\n[S]\n") << "S"
                                                      << "k" << false << "";
    QTest::newRow("comment is not a key") << QByteArray("[S]\n;k=1\n") << "S"
                                          << ";k" << false << "";
    QTest::newRow("missing section") << QByteArray("[A]\nk=1\n") << "S"
                                     << "k" << false << "";
}

void TestIniFile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QString, value);

    TempFolder folder;
    const IniFile file(folder.write("t.INI", content));
    const std::optional<QString> result = file.readString(section, key);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, value);
}

void TestIniFile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << "S"
                              << "k"
                              << "v" << QByteArray("[S]\nk=v\n");
    QTest::newRow("new key at the end of its section")
        << QByteArray("[A]\nx=1\n\n; about B\n[B]\ny=2\n") << "a"
        << "z"
        << "3" << QByteArray("[A]\nx=1\nz=3\n\n; about B\n[B]\ny=2\n");
    QTest::newRow("new key in an empty section") << QByteArray("[A]\n[B]\n") << "A"
                                                 << "k"
                                                 << "v" << QByteArray("[A]\nk=v\n[B]\n");
    QTest::newRow("new section at the end of the file")
        << QByteArray("[A]\nx=1\n") << "B"
        << "y"
        << "2" << QByteArray("[A]\nx=1\n[B]\ny=2\n");
    QTest::newRow("value replaced in place, stored key spelling kept, other lines kept")
        << QByteArray("; comment\n[opts]\n  Mode = 1 \nnot a setting\n# other\nLast=9\n") << "OPTS"
        << "MODE"
        << "2" << QByteArray("; comment\n[opts]\nMode=2\nnot a setting\n# other\nLast=9\n");
    QTest::newRow("CR LF kept for changed and new lines")
        << QByteArray("[A]\r\nx=1\r\n") << "A"
        << "y"
        << "2" << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
    QTest::newRow("CR LF kept for a new section")
        << QByteArray("[A]\r\nx=1\r\n") << "B"
        << "x"
        << "2" << QByteArray("[A]\r\nx=1\r\n[B]\r\nx=2\r\n");
    QTest::newRow("replaced last line without line break stays without")
        << QByteArray("[A]\nx=1") << "A"
        << "x"
        << "2" << QByteArray("[A]\nx=2");
    QTest::newRow("line added after a last line without line break")
        << QByteArray("[A]\nx=1") << "A"
        << "y"
        << "2" << QByteArray("[A]\nx=1\ny=2\n");
    QTest::newRow("byte-order mark kept") << QByteArray("\xEF\xBB\xBF[A]\nx=1\n") << "A"
                                          << "x"
                                          << "2" << QByteArray("\xEF\xBB\xBF[A]\nx=2\n");
    QTest::newRow("bytes that are not UTF-8 kept on other lines")
        << QByteArray("[A]\nold=\xE9t\xE9\nx=1\n") << "A"
        << "x"
        << "2" << QByteArray("[A]\nold=\xE9t\xE9\nx=2\n");
    QTest::newRow("value written as UTF-8")
        << QByteArray() << "S"
        << "k" << QString::fromUtf8("/home/l\xC3\xA9o") << QByteArray("[S]\nk=/home/l\xC3\xA9o\n");
    // The reader trims blanks and one pair of quotes: such values must still read back exactly.
    QTest::newRow("folder ending with a space is quoted")
        << QByteArray() << "S"
        << "k"
        << "/mail/Archives " << QByteArray("[S]\nk=\"/mail/Archives \"\n");
    QTest::newRow("folder starting with a space is quoted")
        << QByteArray() << "S"
        << "k"
        << " mail" << QByteArray("[S]\nk=\" mail\"\n");
    QTest::newRow("trailing tab is quoted") << QByteArray() << "S"
                                            << "k"
                                            << "a\t" << QByteArray("[S]\nk=\"a\t\"\n");
    QTest::newRow("blanks alone are quoted") << QByteArray() << "S"
                                             << "k"
                                             << "  " << QByteArray("[S]\nk=\"  \"\n");
    QTest::newRow("quoted value is quoted again") << QByteArray("[S]\nk=1\n") << "S"
                                                  << "k"
                                                  << "\"x\"" << QByteArray("[S]\nk=\"\"x\"\"\n");
    QTest::newRow("two quotes alone are quoted") << QByteArray() << "S"
                                                 << "k"
                                                 << "\"\"" << QByteArray("[S]\nk=\"\"\"\"\n");
    QTest::newRow("quote at one end only is written as it is")
        << QByteArray() << "S"
        << "k"
        << "\"x" << QByteArray("[S]\nk=\"x\n");
    QTest::newRow("inner blanks need no quotes") << QByteArray() << "S"
                                                 << "k"
                                                 << "a b" << QByteArray("[S]\nk=a b\n");
}

void TestIniFile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    TempFolder folder;
    const QString path =
        before.isEmpty() ? folder.filePath("t.INI") : folder.write("t.INI", before);
    const IniFile file(path);
    QVERIFY(file.writeString(section, key, value));
    QCOMPARE(readBytes(path), after);
    QCOMPARE(file.readString(section, key).value_or(QStringLiteral("<missing>")), value);
}

void TestIniFile::newFileIsPlainUtf8()
{
    TempFolder folder;
    const IniFile file(folder.filePath("new.INI"));
    QVERIFY(file.writeString("S", "k", QString::fromUtf8("\xC3\xA9")));
    QCOMPARE(readBytes(file.path()), QByteArray("[S]\nk=\xC3\xA9\n"));
}

void TestIniFile::rewriteWritesSameBytes()
{
    TempFolder folder;
    const QString path =
        folder.write("t.INI", "; kept\r\n[twindrop]\r\nForm1=1:2:3:4\r\n[OTHER]\r\nz=\"q\"\r\n");
    const IniFile file(path);
    QVERIFY(file.writeString("OPTIONS", "MODE", "1"));
    const QByteArray first = readBytes(path);
    QVERIFY(file.writeString("OPTIONS", "MODE", "1"));
    QVERIFY(file.writeString("twindrop", "Form1", "1:2:3:4"));
    QCOMPARE(readBytes(path), first);
}

void TestIniFile::replacesFileAtomically()
{
    TempFolder folder;
    const QString path = folder.write("t.INI", "[A]\nx=1\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);

    QVERIFY(IniFile(path).writeString("A", "x", "2"));

    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    // A new file took the old one's place by a rename, with the old one's permissions.
    QVERIFY(after.st_ino != before.st_ino);
    QCOMPARE(after.st_mode & 07777, mode_t(0600));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"t.INI"});
}

void TestIniFile::refusedWrites_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("read-only file") << "read-only file"
                                    << "x"
                                    << "v";
    QTest::newRow("missing folder") << "missing folder"
                                    << "x"
                                    << "v";
    QTest::newRow("read-only folder") << "read-only folder"
                                      << "x"
                                      << "v";
    QTest::newRow("line break in the value would add a line") << "plain"
                                                              << "x"
                                                              << "a\n[OPTIONS]";
    QTest::newRow("carriage return in the value") << "plain"
                                                  << "x"
                                                  << "a\rb";
    QTest::newRow("key read as a section header") << "plain"
                                                  << "[B"
                                                  << "]";
    QTest::newRow("key read as a comment") << "plain"
                                           << ";x"
                                           << "v";
    QTest::newRow("key read as a hash comment") << "plain"
                                                << "#x"
                                                << "v";
    QTest::newRow("unpaired surrogate in the key") << "plain" << QString(QChar(0xDCE9)) << "v";
    QTest::newRow("unpaired surrogate that stands for no byte")
        << "plain"
        << "x" << QStringLiteral("a") + QChar(0xD800);
}

void TestIniFile::refusedWrites()
{
    QFETCH(QString, situation);
    QFETCH(QString, key);
    QFETCH(QString, value);

    TempFolder folder;
    QString path = folder.write("t.INI", "[A]\nx=1\n");
    if (situation == "read-only file")
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    if (situation == "missing folder")
        path = folder.filePath("gone/t.INI");
    if (situation == "read-only folder")
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    QVERIFY(!IniFile(path).writeString("A", key, value));
    QFile::setPermissions(folder.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(readBytes(folder.filePath("t.INI")), QByteArray("[A]\nx=1\n"));
    QVERIFY(!QFile::exists(folder.filePath("gone")));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"t.INI"});
}

// A folder whose name is not UTF-8 is shown with U+DC80..U+DCFF standing for its bytes; saved
// as "?" it would reopen as another folder.
void TestIniFile::rawBytesOfANameRoundTrip()
{
    TempFolder folder;
    const QString path = folder.write("t.INI", "[A]\nold=caf\xE9\n");
    const IniFile file(path);
    QCOMPARE(file.readString("A", "old"), QStringLiteral("caf") + QChar(0xDCE9));

    const QString value = QString::fromUtf16(u"/mail/\u00E9t\u00E9/caf") + QChar(0xDCE9);
    QVERIFY(file.writeString("A", "DOSSIER", value));
    QCOMPARE(readBytes(path),
             QByteArray("[A]\nold=caf\xE9\nDOSSIER=/mail/\xC3\xA9t\xC3\xA9/caf\xE9\n"));
    QCOMPARE(file.readString("A", "DOSSIER"), value);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
