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

class TestFormGeometry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void restore_data();
    void restore();
    void storedGeometryOffScreen_data();
    void storedGeometryOffScreen();
    void fitIntoWorkArea_data();
    void fitIntoWorkArea();
    void firstStartFitsAndCentres_data();
    void firstStartFitsAndCentres();
    void saveWritesFrameGeometry();
    void saveAfterRestoreWritesSameBytes();
    void refusedSaveRaises();

private:
    std::unique_ptr<TempFolder> m_folder;
    std::unique_ptr<QWidget> m_form;
};

void TestFormGeometry::init()
{
    m_folder = std::make_unique<TempFolder>();
    SetExecutablePathForTesting(m_folder->filePath("twindrop"));
    SetWorkAreaForTesting(QRect(0, 0, 1920, 1040));
    m_form = std::make_unique<QWidget>();
    m_form->setObjectName("Form1");
    m_form->setGeometry(kStart);
}

void TestFormGeometry::cleanup()
{
    m_form.reset();
    SetWorkAreaForTesting(std::nullopt);
    SetExecutablePathForTesting(QString());
    m_folder.reset();
}

void TestFormGeometry::restore_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<QString>("error");

    QTest::newRow("plain value applied") << "120:80:800:600" << QRect(120, 80, 800, 600) << "";
    QTest::newRow("left beyond the work-area width, negative top")
        << "5000:-20:800:600" << QRect(1920 - 911, 0, 800, 600) << "";
    QTest::newRow("width above the work-area width: cut and moved to the left edge")
        << "120:80:3000:545" << QRect(0, 80, 1920, 545) << "";
    QTest::newRow("height above the work-area height: cut and moved to the top")
        << "120:80:800:2000" << QRect(120, 0, 800, 1040) << "";
    QTest::newRow("negative left moved in") << "-50:80:800:600" << QRect(0, 80, 800, 600) << "";
    QTest::newRow("left equal to the work-area width moved in")
        << "1920:80:800:600" << QRect(1120, 80, 800, 600) << "";
    QTest::newRow("right and bottom beyond the work area moved in")
        << "1500:900:895:510" << QRect(1025, 530, 895, 510) << "";
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
    QTest::newRow("bad height after a left off the screen: still moved in")
        << "-400:20:800:6OO" << QRect(0, 20, 800, kStart.height())
        << "''6OO'' n'est pas une valeur entière valide";
    // Missing: kept size, centred on the 1920 x 1040 work area.
    QTest::newRow("three pieces count as missing")
        << "10:20:800" << QRect(504, 247, 911, 545) << "";
    QTest::newRow("empty value counts as missing") << "" << QRect(504, 247, 911, 545) << "";
}

void TestFormGeometry::restore()
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

void TestFormGeometry::storedGeometryOffScreen_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("1600 x 1000, bottom right corner only on the screen")
        << QRect(0, 0, 1600, 960) << "1500:900:895:510" << QRect(705, 450, 895, 510);
    QTest::newRow("1600 x 1000 at scale 2, stored at scale 1: shrunk into the work area")
        << QRect(0, 0, 800, 476) << "300:200:895:510" << QRect(0, 0, 800, 476);
    QTest::newRow("3840 x 2160 at scale 2, stored far off: moved in")
        << QRect(0, 0, 1920, 1040) << "3000:1900:1500:900" << QRect(420, 140, 1500, 900);
    QTest::newRow("work area below a top bar: top bar left free")
        << QRect(0, 32, 1366, 736) << "100:0:911:545" << QRect(100, 32, 911, 545);
}

// The window itself, shown and framed by the platform, ends where the user can reach it.
void TestFormGeometry::storedGeometryOffScreen()
{
    QFETCH(QRect, area);
    QFETCH(QString, stored);
    QFETCH(QRect, expected);
    SetWorkAreaForTesting(area);

    const QString path = m_folder->write("t.INI", "[twindrop]\nForm1=" + stored.toUtf8() + "\n");
    RestoreFormGeometry(m_form.get(), path);
    QCOMPARE(m_form->frameGeometry(), expected);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QTRY_VERIFY2(area.contains(m_form->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(m_form->frameGeometry().x())
                                .arg(m_form->frameGeometry().y())
                                .arg(m_form->frameGeometry().width())
                                .arg(m_form->frameGeometry().height())));
}

void TestFormGeometry::fitIntoWorkArea_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QList<QRect>>("areas");
    QTest::addColumn<QRect>("expected");

    const QRect one(0, 0, 1600, 960);
    // Two screens side by side, the second one at scale 2 (its work area half its pixels).
    const QList<QRect> two{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 720)};
    QTest::newRow("inside: unchanged")
        << QRect(10, 10, 800, 600) << QList<QRect>{one} << QRect(10, 10, 800, 600);
    QTest::newRow("beyond right and bottom: moved back")
        << QRect(1500, 900, 895, 510) << QList<QRect>{one} << QRect(705, 450, 895, 510);
    QTest::newRow("beyond left and top: moved back")
        << QRect(-300, -40, 800, 600) << QList<QRect>{one} << QRect(0, 0, 800, 600);
    QTest::newRow("larger than the work area: shrunk to it")
        << QRect(100, 100, 2000, 1200) << QList<QRect>{one} << one;
    QTest::newRow("mostly on the second screen: fitted into it")
        << QRect(2000, 300, 900, 600) << two << QRect(2000, 120, 900, 600);
    QTest::newRow("mostly on the first screen: stays there")
        << QRect(1400, 100, 900, 600) << two << QRect(1020, 100, 900, 600);
    QTest::newRow("scale 1 size on the scale 2 screen: shrunk into it")
        << QRect(2300, 100, 1500, 900) << two << QRect(1920, 0, 1280, 720);
    QTest::newRow("on no screen: into the nearest")
        << QRect(3500, 50, 400, 300) << two << QRect(2800, 50, 400, 300);
    QTest::newRow("far below the first screen: into it")
        << QRect(100, 5000, 400, 300) << two << QRect(100, 740, 400, 300);
    QTest::newRow("no screen known: unchanged")
        << QRect(-5000, 10, 400, 300) << QList<QRect>{} << QRect(-5000, 10, 400, 300);
}

void TestFormGeometry::fitIntoWorkArea()
{
    QFETCH(QRect, frame);
    QFETCH(QList<QRect>, areas);
    QFETCH(QRect, expected);
    QCOMPARE(FitIntoWorkArea(frame, areas), expected);
}

void TestFormGeometry::firstStartFitsAndCentres_data()
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

void TestFormGeometry::firstStartFitsAndCentres()
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

void TestFormGeometry::saveWritesFrameGeometry()
{
    SaveFormGeometry(m_form.get(), QString());
    QCOMPARE(readBytes(m_folder->filePath("twindrop.INI")),
             QByteArray("[twindrop]\nForm1=100:120:911:545\n"));
}

void TestFormGeometry::saveAfterRestoreWritesSameBytes()
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

void TestFormGeometry::refusedSaveRaises()
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

QTEST_MAIN(TestFormGeometry)
#include "tst_formgeometry.moc"
