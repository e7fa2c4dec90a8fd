// Saving settings when the disk is full or the folder has become read-only, made for real on a
// small tmpfs: the old file stays byte for byte and the error is reported in French.
#include "base/Errors.h"
#include "settings/SettingsHelpers.h"
#include "support/ScratchMount.h"
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

const QByteArray kOldSettings = "[twindrop]\nForm1=120:80:911:545\n[OPTIONS]\n"
                                "DOSSIER=/home/user/mail\nMASQUE=*.*\nAUTO=0\nMODE=0\n";

} // namespace

class TestSettingsFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void readOnlySettingsBesideTheProgram();
};

void TestSettingsFaults::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("value");

    // A value larger than what is left, so that the new file cannot be written whole.
    QTest::newRow("disk full, longer value") << "full" << QString(6000, u'x');
    QTest::newRow("disk full, same length") << "full"
                                            << "/home/user/lettres";
    QTest::newRow("folder remounted read-only") << "read-only"
                                                << "/home/user/lettres";
}

void TestSettingsFaults::failedSaveKeepsOldFile()
{
    QFETCH(QString, fault);
    QFETCH(QString, value);

    TempFolder folder;
    ScratchMount mount(folder.filePath("disk"), 64);
    if (!mount.isMounted())
        QSKIP(qPrintable(QStringLiteral("needs a tmpfs in a mount namespace of its own (run as "
                                        "root): %1")
                             .arg(mount.error())));
    const QString path = mount.path() + QStringLiteral("/twindrop.INI");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(kOldSettings), kOldSettings.size());
    }
    if (fault == QLatin1String("full"))
        QVERIFY(mount.fill());
    else
        QVERIFY(mount.remountReadOnly());
    const QStringList before = QDir(mount.path()).entryList(QDir::Files | QDir::Hidden);

    QString message;
    try {
        IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("DOSSIER"), value, path);
    } catch (const base::EIniFileException& e) {
        message = e.message();
    }

    QCOMPARE(message, QStringLiteral("Impossible d'écrire dans %1").arg(path));
    QCOMPARE(readBytes(path), kOldSettings);
    // No half-written temporary file is left beside it.
    QCOMPARE(QDir(mount.path()).entryList(QDir::Files | QDir::Hidden), before);
}

// A shared copy whose settings file cannot be written: the settings are read from it, the first
// save carries them whole to the configuration folder, which is read from then on.
void TestSettingsFaults::readOnlySettingsBesideTheProgram()
{
    TempFolder folder;
    ScratchMount mount(folder.filePath("disk"), 64);
    if (!mount.isMounted())
        QSKIP(qPrintable(QStringLiteral("needs a tmpfs in a mount namespace of its own (run as "
                                        "root): %1")
                             .arg(mount.error())));
    const QString bin = mount.path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkdir(bin));
    const QString beside = bin + QStringLiteral("/twindrop.INI");
    const QByteArray shared = kOldSettings + "; shared copy\n";
    {
        QFile file(beside);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(shared), shared.size());
    }
    QVERIFY(mount.bindReadOnly(bin));
    SetExecutablePathForTesting(bin + QStringLiteral("/twindrop"));
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir(config).removeRecursively();
    const QString copy = config + QStringLiteral("/twindrop.INI");

    QCOMPARE(IniFilePath(), beside);
    QCOMPARE(IniReadString("OPTIONS", "MASQUE", QString()), QStringLiteral("*.*"));

    QString message;
    try {
        IniWriteString(QStringLiteral("OPTIONS"), QStringLiteral("MASQUE"),
                       QStringLiteral("*.eml"));
        IniWriteInteger(QStringLiteral("OPTIONS"), QStringLiteral("MODE"), 2);
    } catch (const base::EIniFileException& e) {
        message = e.message();
    }
    QCOMPARE(message, QString());
    QCOMPARE(readBytes(beside), shared);
    QCOMPARE(IniFilePath(), copy);
    QCOMPARE(readBytes(copy), QByteArray("[twindrop]\nForm1=120:80:911:545\n[OPTIONS]\n"
                                         "DOSSIER=/home/user/mail\nMASQUE=*.eml\nAUTO=0\n"
                                         "MODE=2\n; shared copy\n"));
    QCOMPARE(IniReadString("OPTIONS", "MASQUE", QString()), QStringLiteral("*.eml"));
    QCOMPARE(IniReadString("twindrop", "Form1", QString()), QStringLiteral("120:80:911:545"));

    SetExecutablePathForTesting(QString());
    QDir(config).removeRecursively();
}

QTEST_GUILESS_MAIN(TestSettingsFaults)
#include "tst_settingsfaults.moc"
