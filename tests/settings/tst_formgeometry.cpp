#include "base/Errors.h"
#include "settings/FormGeometry.h"
#include "settings/SettingsHelpers.h"
#include "support/TempFolder.h"

#include <memory>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QRect kStart(100, 120, 911, 545);

} // namespace

class tst_FormGeometry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void restore_data();
    void restore();
    void firstStartFitsAndCentres_data();
    void firstStartFitsAndCentres();
    void saveWritesFrameGeometry();
    void saveAfterRestoreWritesSameBytes();
    void refusedSaveRaises();

private:
    std::unique_ptr<TempFolder> m_folder;
    std::unique_ptr<QWidget> m_form;
};

void tst_FormGeometry::init()
{
    m_folder = std::make_unique<TempFolder>();
    SetExecutablePathForTesting(m_folder->filePath("twindrop"));
    SetWorkAreaForTesting(QRect(0, 0, 1920, 1040));
    m_form = std::make_unique<QWidget>();
    m_form->setObjectName("Form1");
    m_form->setGeometry(kStart);
}

void tst_FormGeometry::cleanup()
{
    m_form.reset();
    SetWorkAreaForTesting(std::nullopt);
    SetExecutablePathForTesting(QString());
    m_folder.reset();
}

void tst_FormGeometry::restore_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<QString>("error");

    QTest::newRow("plain value applied") << "120:80:800:600" << QRect(120, 80, 800, 600) << "";
    QTest::newRow("left beyond the work-area width, negative top")
        << "5000:-20:800:600" << QRect(1920 - 911, 0, 800, 600) << "";
    QTest::newRow("width above the work-area width")
        << "120:80:3000:545" << QRect(120, 80, 1920, 545) << "";
    QTest::newRow("height above the work-area height")
        << "120:80:800:2000" << QRect(120, 80, 800, 1040) << "";
    QTest::newRow("negative left kept") << "-50:80:800:600" << QRect(-50, 80, 800, 600) << "";
    QTest::newRow("left equal to the work-area width kept")
        << "1920:80:800:600" << QRect(1920, 80, 800, 600) << "";
    QTest::newRow("hexadecimal and blanks accepted")
        << "$10:0x20: 800:600" << QRect(16, 32, 800, 600) << "";
    QTest::newRow("extra pieces ignored") << "1:2:800:600:9" << QRect(1, 2, 800, 600) << "";
    QTest::newRow("bad left raises before anything is applied")
        << "abc:0:800:600" << kStart << "''abc'' n'est pas une valeur entière valide";
    QTest::newRow("bad top leaves the left applied")
        << "10:abc:800:600" << QRect(10, kStart.y(), kStart.width(), kStart.height())
        << "''abc'' n'est pas une valeur entière valide";
    QTest::newRow("empty width piece raises after left and top")
        << "10:20::600" << QRect(10, 20, kStart.width(), kStart.height())
        << "'''' n'est pas une valeur entière valide";
    QTest::newRow("bad height leaves the others applied")
        << "10:20:800:6OO" << QRect(10, 20, 800, kStart.height())
        << "''6OO'' n'est pas une valeur entière valide";
    // Missing: kept size, centred on the 1920 x 1040 work area.
    QTest::newRow("three pieces count as missing")
        << "10:20:800" << QRect(504, 247, 911, 545) << "";
    QTest::newRow("empty value counts as missing") << "" << QRect(504, 247, 911, 545) << "";
}

void tst_FormGeometry::restore()
{
    QFETCH(QString, stored);
    QFETCH(QRect, expected);
    QFETCH(QString, error);

    const QString path = m_folder->write("t.INI", "[twindrop]\nForm1=" + stored.toUtf8() + "\n");
    QString message;
    try {
        RestoreFormGeometry(m_form.get(), path);
    } catch (const base::EConvertError& e) {
        message = e.message();
    }
    QCOMPARE(message, error);
    QCOMPARE(m_form->frameGeometry(), expected);
}

void tst_FormGeometry::firstStartFitsAndCentres_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("room enough: size kept, centred")
        << QRect(0, 0, 1920, 1040) << QSize(911, 545) << QRect(504, 247, 911, 545);
    QTest::newRow("work area beside a panel, below a bar")
        << QRect(64, 30, 1000, 700) << QSize(911, 545) << QRect(108, 107, 911, 545);
    QTest::newRow("1600 x 1000 at scale factor 2: cut to the work area")
        << QRect(0, 0, 800, 476) << QSize(895, 510) << QRect(0, 0, 800, 476);
    QTest::newRow("only too wide")
        << QRect(0, 0, 800, 1000) << QSize(911, 545) << QRect(0, 227, 800, 545);
}

void tst_FormGeometry::firstStartFitsAndCentres()
{
    QFETCH(QRect, area);
    QFETCH(QSize, size);
    QFETCH(QRect, expected);
    SetWorkAreaForTesting(area);
    m_form->resize(size);
    // No key for this window, then no file at all.
    const QString path = m_folder->write("t.INI", "[twindrop]\nForm2=1:2:300:400\n");
    RestoreFormGeometry(m_form.get(), path);
    QCOMPARE(m_form->frameGeometry(), expected);
    m_form->setGeometry(kStart);
    m_form->resize(size);
    RestoreFormGeometry(m_form.get(), m_folder->filePath("none.INI"));
    QCOMPARE(m_form->frameGeometry(), expected);
    QVERIFY(!QFile::exists(m_folder->filePath("none.INI")));

    // Still inside the work area once shown with whatever frame the platform gives.
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QTRY_VERIFY(area.contains(m_form->frameGeometry()));
}

void tst_FormGeometry::saveWritesFrameGeometry()
{
    SaveFormGeometry(m_form.get(), QString());
    QCOMPARE(readBytes(m_folder->filePath("twindrop.INI")),
             QByteArray("[twindrop]\nForm1=100:120:911:545\n"));
}

void tst_FormGeometry::saveAfterRestoreWritesSameBytes()
{
    const QString path = m_folder->write("t.INI", "[twindrop]\nForm1=30:40:700:500\n");
    // As at start-up: restored before the window is first shown.
    RestoreFormGeometry(m_form.get(), path);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    SaveFormGeometry(m_form.get(), path);
    QCOMPARE(readBytes(path), QByteArray("[twindrop]\nForm1=30:40:700:500\n"));
    RestoreFormGeometry(m_form.get(), path);
    SaveFormGeometry(m_form.get(), path);
    QCOMPARE(readBytes(path), QByteArray("[twindrop]\nForm1=30:40:700:500\n"));
}

void tst_FormGeometry::refusedSaveRaises()
{
    const QString path = m_folder->write("t.INI", "[twindrop]\nForm1=1:2:3:4\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    QString message;
    try {
        SaveFormGeometry(m_form.get(), path);
    } catch (const base::EIniFileException& e) {
        message = e.message();
    }
    QCOMPARE(message, QString::fromUtf8("Impossible d'\xC3\xA9"
                                        "crire dans ") +
                          path);
}

QTEST_MAIN(tst_FormGeometry)
#include "tst_formgeometry.moc"
